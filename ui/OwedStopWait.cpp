#include "ui/OwedStopWait.h"

#include "acquisition/ZOLVA_Collector.h"
#include "platform/DialogHook.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QProgressDialog>
#include <QTimer>

namespace {

QString tr(const char* text)
{
    return QCoreApplication::translate("OwedStopWait", text);
}

QString waitingText(const ZOLVA_Collector* collector)
{
    return tr("等待%1确认停止…").arg(ZOLVA_Collector::UnitNames(collector->StopOwed(true), collector->StopOwed(false)));
}

}

void OwedStopWait::run(QWidget* window, ZOLVA_Collector* collector)
{
    if (!collector->StopOwed())
        return;
    collector->SendOwedStops();
    // Links let go of already carry no reply.
    if (!collector->isActive(QString::fromLatin1(CollectorState::DeviceWaitSet))) {
        QProgressDialog note(window);
        note.setWindowTitle(tr("停止采集"));
        note.setLabelText(waitingText(collector));
        note.setCancelButton(nullptr);
        note.setRange(0, 0);
        note.setMinimumDuration(0);
        note.setWindowModality(Qt::WindowModal);
        QEventLoop loop;
        QTimer bound;
        bound.setSingleShot(true);
        QObject::connect(&bound, &QTimer::timeout, &loop, &QEventLoop::quit);
        QObject::connect(collector, &ZOLVA_Collector::stopsChanged, &loop, [&] {
            if (!collector->StopOwed())
                loop.quit();
            else
                note.setLabelText(waitingText(collector));
        });
        note.show();
        bound.start(collector->StopWaitBound());
        loop.exec();
    }
    if (collector->StopOwed())
        DialogHook::warning(
            window, tr("警告"),
            ZOLVA_Collector::UnconfirmedStopWarning(collector->StopOwed(true), collector->StopOwed(false)));
}
