// The USF export of the synthetic survey day (29 000 samples) into a text
// file, as the export button writes it.

#include "SyntheticProject.h"

#include "project/DataModel_Index.h"
#include "project/Data_Calc.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTextStream>

#include <cstdio>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QTemporaryDir temporary;
    const QDir dir(argc > 1 ? QString::fromLocal8Bit(argv[1]) : temporary.path());
    const QString day =
        SyntheticProject::ensure(dir, QStringLiteral("survey-day.ZOLVA"), SyntheticProject::surveyDay());

    const Data_Calc calc; // loads the time-channel table
    DataModel_Index model;
    if (!model.openProject(day))
        return 1;
    int soundings = 0;
    QObject::connect(&model, &DataModel_Index::onExport, [&soundings](int done, int) { soundings = done; });
    const QString path = dir.filePath(QStringLiteral("survey-day.usf"));
    for (int round = 1; round <= 3; ++round) {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Text))
            return 1;
        QTextStream out(&file);
        QElapsedTimer timer;
        timer.start();
        const orm::Status exported = model.onExportData_USF(out);
        const double seconds = timer.nsecsElapsed() / 1e9;
        std::printf("USF export, round %d:  %6.2f s, %d soundings, %.1f MB%s\n", round, seconds, soundings,
                    file.size() / 1e6, exported.isOk() ? "" : ", failed");
        file.remove();
    }
    return 0;
}
