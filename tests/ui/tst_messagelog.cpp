#include "ui/MessageLog.h"

#include <QDir>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

class TestMessageLog : public QObject
{
    Q_OBJECT

private slots:
    void buildsLinesByLevel();
    void namesOneFilePerDay();
    void installedHandlerWritesFileAndStandardOutput();
};

void TestMessageLog::buildsLinesByLevel()
{
    const QDateTime time(QDate(2026, 12, 5), QTime(9, 5, 3, 7));
    QCOMPARE(buildLogLine(QtDebugMsg, QStringLiteral("x"), time), QStringLiteral("[Debug] x (20261205 09:05:03.007)"));
    QCOMPARE(buildLogLine(QtWarningMsg, QStringLiteral("x"), time), QStringLiteral("[Warn] x (20261205 09:05:03.007)"));
    QCOMPARE(buildLogLine(QtCriticalMsg, QStringLiteral("x"), time), QStringLiteral("[Critical] x (20261205 09:05:03.007)"));
    QCOMPARE(buildLogLine(QtFatalMsg, QStringLiteral("x"), time), QStringLiteral("[Fatal] x (20261205 09:05:03.007)"));
    QVERIFY(buildLogLine(QtInfoMsg, QStringLiteral("x"), time).isNull());
    QCOMPARE(buildLogLine(QtDebugMsg, QStringLiteral("%1 %3%2"), time), QStringLiteral("[Debug] %1 %3%2 (20261205 09:05:03.007)"));
}

void TestMessageLog::namesOneFilePerDay()
{
    QCOMPARE(logFilePath(QDate(2026, 12, 5)), QStringLiteral("./log/log_261205.txt"));
    QCOMPARE(logFilePath(QDate(2031, 1, 9)), QStringLiteral("./log/log_310109.txt"));
}

void TestMessageLog::installedHandlerWritesFileAndStandardOutput()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString previous = QDir::currentPath();
    QVERIFY(QDir::setCurrent(dir.path()));

    const QString printedPath = dir.filePath(QStringLiteral("stdout.txt"));
    std::fflush(stdout);
    const int savedStdout = dup(STDOUT_FILENO);
    const int printed = open(QFile::encodeName(printedPath).constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    QVERIFY(savedStdout >= 0 && printed >= 0);
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
    QVERIFY(QDir::setCurrent(previous));

    const QStringList files = QDir(dir.filePath(QStringLiteral("log"))).entryList(QDir::Files);
    QCOMPARE(files.size(), 1);
    QVERIFY(QRegularExpression(QStringLiteral("^log_\\d{6}\\.txt$")).match(files.first()).hasMatch());

    QFile logged(dir.filePath(QStringLiteral("log/") + files.first()));
    QVERIFY(logged.open(QIODevice::ReadOnly));
    const QString stamp = QStringLiteral(" \\(\\d{8} \\d\\d:\\d\\d:\\d\\d\\.\\d{3}\\)");
    const QRegularExpression fileLines(QStringLiteral("^\\[Debug\\] x 50%1 测量") + stamp + QStringLiteral("\r\n\\[Warn\\] w") + stamp + QStringLiteral("\r\n$"));
    const QString fileText = QString::fromUtf8(logged.readAll());
    QVERIFY2(fileLines.match(fileText).hasMatch(), qPrintable(fileText));

    QFile out(printedPath);
    QVERIFY(out.open(QIODevice::ReadOnly));
    const QRegularExpression printedLines(QStringLiteral("^\\[Debug\\] x 50%1 测量") + stamp + QStringLiteral("\n\\[Warn\\] w") + stamp + QStringLiteral("\n$"));
    const QString printedText = QString::fromUtf8(out.readAll());
    QVERIFY2(printedLines.match(printedText).hasMatch(), qPrintable(printedText));
}

QTEST_GUILESS_MAIN(TestMessageLog)
#include "tst_messagelog.moc"
