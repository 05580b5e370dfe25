// Stores acquisitions into a project file one after another, as the field
// program does when the operator saves, and prints the count stored after
// each commit. The killed-while-storing test kills it at a random moment, or
// while its store waits at the commit for a read lock the test holds; it
// also makes the seed files of the project-file fuzz target.
//
//     faults_storeloop <project file> <acquisitions, 0: until killed> <repeats> <gates>
//
// Exit status 0 when all were stored, 1 on bad arguments or a file that
// does not open, 2 when a store failed.

#include "StoredAcquisition.h"
#include "orm/Database.h"
#include "platform/DialogHook.h"
#include "project/DataModel_Index.h"

#include <QApplication>
#include <QSqlQuery>

#include <climits>
#include <cstdio>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    bool ok[3] = {};
    const int acquisitions = args.value(2).toInt(&ok[0]), repeats = args.value(3).toInt(&ok[1]),
              gates = args.value(4).toInt(&ok[2]);
    if (args.size() != 5 || !ok[0] || !ok[1] || !ok[2] || acquisitions < 0 || repeats < 1 || gates < 1) {
        std::fprintf(stderr, "usage: faults_storeloop <project file> <acquisitions> <repeats> <gates>\n");
        return 1;
    }
    bool failed = false;
    DialogHook::setMessageAnswer([&failed](const DialogHook::Message& m) {
        std::fprintf(stderr, "%s\n", qUtf8Printable(m.text));
        failed = true;
    });
    DataModel_Index model;
    if (!model.openProject(args.at(1)))
        return 1;
    // A commit waits for a reader's lock as long as it is held, not the
    // driver's five seconds: the test kills the writer only then.
    if (!QSqlQuery(orm::Database::connection()).exec(QStringLiteral("PRAGMA busy_timeout = %1").arg(INT_MAX)))
        return 1;
    for (int n = 1; acquisitions == 0 || n <= acquisitions; ++n) {
        model.dataUpload(StoredAcquisition::make(n, repeats, gates));
        model.dataSave(true);
        if (failed)
            return 2;
        std::printf("%d\n", n);
        std::fflush(stdout);
    }
    model.closeProject();
    return 0;
}
