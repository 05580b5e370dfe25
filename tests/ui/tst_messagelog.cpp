#include "WorkingDirectory.h"
#include "ui/MessageLog.h"

#include <QRegularExpression>
#include <QtTest>

#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

class TestMessageLog : public QObject
{
    Q_OBJECT

private slots:
    void linesAndFileNames()
    {
        const QDateTime time(QDate(2026, 12, 5), QTime(9, 5, 3, 7));
        QCOMPARE(buildLogLine(QtDebugMsg, "x", time), QStringLiteral("[Debug] x (20261205 09:05:03.007)"));
        QCOMPARE(buildLogLine(QtCriticalMsg, "x", time), QStringLiteral("[Critical] x (20261205 09:05:03.007)"));
        // One pass: a "%1" inside the message stays as it is.
        QCOMPARE(buildLogLine(QtFatalMsg, "%1 %3%2", time), QStringLiteral("[Fatal] %1 %3%2 (20261205 09:05:03.007)"));
        QVERIFY(buildLogLine(QtInfoMsg, "x", time).isNull());
        QCOMPARE(logFilePath(QDate(2031, 1, 9)), QStringLiteral("./log/log_310109.txt"));
    }

    void installedHandlerWritesFileAndStandardOutput()
    {
        const WorkingDirectory work;
        QVERIFY(work.entered);
        const QTemporaryDir& dir = work.dir;
        const QString printedPath = dir.filePath("stdout.txt");
        std::fflush(stdout);
        const int savedStdout = dup(STDOUT_FILENO);
        const int printed = open(QFile::encodeName(printedPath).constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        dup2(printed, STDOUT_FILENO);
        close(printed);

        installMessageLog();
        qDebug("%s", "x 50%1 测量");
        qInfo("not logged");
        qWarning("w");
        qInstallMessageHandler(nullptr);

        std::fflush(stdout);
        dup2(savedStdout, STDOUT_FILENO);
        close(savedStdout);

        const QStringList files = QDir(dir.filePath("log")).entryList(QDir::Files);
        QCOMPARE(files.size(), 1);
        QVERIFY(QRegularExpression("^log_\\d{6}\\.txt$").match(files.first()).hasMatch());
        // The file ends its lines with CR LF, standard output with LF.
        const QString stamp = QStringLiteral(" \\(\\d{8} \\d\\d:\\d\\d:\\d\\d\\.\\d{3}\\)");
        for (const QString& end : {QStringLiteral("\r\n"), QStringLiteral("\n")}) {
            QFile written(end.size() == 2 ? dir.filePath("log/" + files.first()) : printedPath);
            QVERIFY(written.open(QIODevice::ReadOnly));
            const QString text = QString::fromUtf8(written.readAll());
            const QRegularExpression lines("^\\[Debug\\] x 50%1 测量" + stamp + end + "\\[Warn\\] w" + stamp + end
                                           + "$");
            QVERIFY2(lines.match(text).hasMatch(), qPrintable(text));
        }
    }
};

QTEST_GUILESS_MAIN(TestMessageLog)
#include "tst_messagelog.moc"
