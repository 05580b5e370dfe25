#include "WindowTest.h"
#include "tests/support/TestEnvironment.h"
#include "ui/DeveloperAccess.h"
#include "ui/Form_Status.h"
#include "ui/Graph_Lines.h"

#include <QHash>
#include <QLabel>
#include <QPushButton>
#include <QStackedWidget>
#include <QTabWidget>
#include <QTest>

#include <qwt_date_scale_draw.h>
#include <qwt_plot.h>
#include <qwt_scale_draw.h>
#include <qwt_scale_widget.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace {

// Nothing here opens a project, so nothing connects to these.
const QString TransmitterAddress = TestLoopback::Address(TestLoopback::MainWindowTests, 201);
const QString ReceiverAddress = TestLoopback::Address(TestLoopback::MainWindowTests, 202);

// Pixels of a widget's grab that stand out from its background, the colour
// most of them have.
int ink(QWidget* widget)
{
    const QImage image = widget->grab().toImage();
    QHash<QRgb, int> colours;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x)
            ++colours[image.pixel(x, y)];
    }
    const QRgb background = std::max_element(colours.cbegin(), colours.cend()).key();
    int count = 0;
    for (auto colour = colours.cbegin(); colour != colours.cend(); ++colour)
        count += std::abs(qGray(colour.key()) - qGray(background)) >= 64 ? colour.value() : 0;
    return count;
}

// Every tick label a plot draws that its scale widget does not hold, and
// every time label that repeats its left neighbour.
QStringList badLabels(const QwtPlot* plot)
{
    QStringList bad;
    for (int axis = 0; axis < QwtPlot::axisCnt; ++axis) {
        const QwtScaleWidget* scale = plot->axisWidget(axis);
        const QwtScaleDraw* draw = scale->scaleDraw();
        if (!plot->axisEnabled(axis) || !draw->hasComponent(QwtAbstractScaleDraw::Labels))
            continue;
        const QString where = QStringLiteral("%1 axis %2 ").arg(plot->objectName()).arg(axis);
        if (!plot->rect().contains(scale->geometry()))
            bad << where + "outside its plot";
        const bool time = dynamic_cast<const QwtDateScaleDraw*>(draw);
        const QwtScaleDiv& division = draw->scaleDiv();
        QString previous;
        for (double tick : division.ticks(QwtScaleDiv::MajorTick)) {
            if (!division.contains(tick))
                continue;
            const QString text = draw->label(tick).text();
            if (!scale->rect().contains(draw->boundingLabelRect(scale->font(), tick)))
                bad << where + "cuts " + text;
            if (time && text == previous)
                bad << where + "repeats " + text;
            previous = text;
        }
    }
    return bad;
}

} // namespace

// The real window with the fonts the machine has installed, as the operator
// sees it.
class tst_WindowDrawing : public WindowTest
{
    Q_OBJECT

private slots:
    void init()
    {
        QVERIFY(setUp(TransmitterAddress, ReceiverAddress));
        makeWindow();
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get(), TestTimeoutMs()));
    }

    void cleanup() { tearDown(); }

    // Curves as an acquisition and a towed line bring them, while the
    // transmit graphs wait behind their tab; then the whole line's profile.
    void everyTickLabelFits_data()
    {
        QTest::addColumn<QSize>("size");
        QTest::addColumn<bool>("developer");
        QTest::newRow("minimum size") << QSize() << false;
        QTest::newRow("1920x1080") << QSize(1920, 1080) << false;
        // Its extra entries squeeze the transmit graphs.
        QTest::newRow("developer mode") << QSize() << true;
    }

    void everyTickLabelFits()
    {
        QFETCH(QSize, size);
        QFETCH(bool, developer);
        if (developer) {
            DialogHook::setInputAnswer([](const DialogHook::InputRequest&) {
                return QVariant(DeveloperAccess::passwordFor(QDate(2026, 12, 6)));
            });
            for (int i = 0; i < DeveloperAccess::UnlockClicks; ++i)
                widget<QPushButton>("btn_Logo")->click();
            QVERIFY(!widget("ContinueMode")->isHidden());
        }
        // A picture of the start page, as a screenshot takes it, lays out the
        // hidden pages at sizes they are never shown at.
        m_window->grab();
        m_window->resize(size.isValid() ? size : m_window->minimumSize());
        widget<QStackedWidget>("stackedWidget")->setCurrentIndex(1);

        QVector<double> gates;
        QVector<double> decay;
        for (double t = 10.0; t < 9000.0; t *= 1.2) {
            gates.append(t);
            decay.append(6e-5 * std::pow(t / 80.0, -2.5));
        }
        auto* sample = widget<Graph_Lines>("graph_Sample");
        sample->clearLines();
        sample->onSetAxisScale(true, true);
        sample->newLine(QStringLiteral("当前采集"), gates, decay, 1.0);

        QVector<double> current(500);
        for (int i = 0; i < current.size(); ++i)
            current[i] = i < 250 ? 10.0 * (1.0 - std::exp(-i / 8.0)) : -10.0 * (1.0 - std::exp(-(i - 250) / 8.0));
        QVector<double> turnOff(500);
        for (int i = 0; i < turnOff.size(); ++i)
            turnOff[i] = std::max(0.0, 10.0 - i * 0.08);
        QVERIFY(QMetaObject::invokeMethod(m_window.get(), "onGraph_Send", Q_ARG(double, 25.0),
                                          Q_ARG(QVector<double>, current)));
        QVERIFY(QMetaObject::invokeMethod(m_window.get(), "onGraph_Off", Q_ARG(double, 2000000.0),
                                          Q_ARG(QVector<double>, turnOff)));

        QStringList bad;
        const auto check = [&] {
            QCoreApplication::sendPostedEvents();
            for (const QwtPlot* plot : m_window->findChildren<QwtPlot*>()) {
                if (plot->isVisible())
                    bad << badLabels(plot);
            }
        };

        // A towed line whose records arrive a second apart, the cursor on the latest.
        QVector<double> times;
        QVector<double> points;
        QVector<QVector<double>> rows(decay.size());
        for (int record = 0; record < 8; ++record) {
            times.append(1796625371628.0 + 1000.0 * record);
            points.append(100.0 + 10.0 * record);
            for (int gate = 0; gate < decay.size(); ++gate)
                rows[gate].append(decay.at(gate));
            QVERIFY(QMetaObject::invokeMethod(m_window.get(), "onGraph_Line", Q_ARG(QString, QStringLiteral("4线")),
                                              Q_ARG(QVector<double>, times), Q_ARG(QVector<double>, gates),
                                              Q_ARG(QVector<QVector<double>>, rows), Q_ARG(int, record)));
            check();
        }
        widget<QTabWidget>("tabWidget_Status")->setCurrentIndex(1);
        check();
        // The whole line as a profile over its point numbers.
        QVERIFY(QMetaObject::invokeMethod(m_window.get(), "onGraph_Line", Q_ARG(QString, QStringLiteral("4线")),
                                          Q_ARG(QVector<double>, points), Q_ARG(QVector<double>, gates),
                                          Q_ARG(QVector<QVector<double>>, rows), Q_ARG(int, -1)));
        check();
        QVERIFY(widget<Graph_Lines>("graph_Sample")->GetAxisXScale() == Graph_Lines::Linear);
        QVERIFY2(bad.isEmpty(), qPrintable(bad.join(QStringLiteral(", "))));
    }

    // A face may claim a character and draw nothing for it: each symbol is
    // drawn on its own and must leave ink.
    void everySymbolIsDrawn()
    {
        widget<QStackedWidget>("stackedWidget")->setCurrentIndex(1);
        auto* status = m_window->findChild<Form_Status*>();
        QVERIFY(status);
        QVector<QPair<QWidget*, QString>> shown;
        for (const char* name : {"label_3", "label_C", "label_us"})
            shown.append({status->findChild<QLabel*>(QLatin1String(name)), QString()});
        // The Wi-Fi quality joins the status text once connected.
        shown.append({status->findChild<QLabel*>(QStringLiteral("StatusConnect")), QStringLiteral("📶")});
        for (const char* name : {"pushButton_Min", "pushButton_Max", "pushButton_Close"})
            shown.append({widget(name), QString()});

        QStringList blank;
        for (const auto& item : qAsConst(shown)) {
            QVERIFY(item.first);
            const QVariant text = item.first->property("text");
            const QString symbols = item.second.isEmpty() ? text.toString() : item.second;
            for (uint symbol : symbols.toUcs4()) {
                const QString one = QString::fromUcs4(&symbol, 1);
                item.first->setProperty("text", one);
                if (ink(item.first) < 6)
                    blank << item.first->objectName() + ": " + one;
            }
            item.first->setProperty("text", text);
        }
        QVERIFY2(blank.isEmpty(), qPrintable(blank.join(QStringLiteral(", "))));
    }
};

QTEST_MAIN(tst_WindowDrawing)
#include "tst_windowdrawing.moc"
