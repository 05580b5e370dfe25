#include "ui/MessageLog.h"

#include <QDir>
#include <QFile>
#include <QMutex>
#include <QTextStream>

#include <cstdio>

namespace {

// The stream is declared after the file so that it is destroyed first.
QFile logFile;
QTextStream logStream;
QMutex logLock;

} // namespace

void installMessageLog()
{
    QDir().mkpath(QStringLiteral("log"));
    logFile.setFileName(logFilePath(QDate::currentDate()));
    logFile.open(QIODevice::WriteOnly | QIODevice::Append);
    logStream.setDevice(&logFile);
    qInstallMessageHandler(logMessageHandler);
}

void logMessageHandler(QtMsgType type, const QMessageLogContext&, const QString& msg)
{
    const QString line = buildLogLine(type, msg, QDateTime::currentDateTime());
    if (line.isNull())
        return;
    writeLogLine(line);
    printLogLine(line);
}

void writeLogLine(const QString& line)
{
    QMutexLocker lock(&logLock);
    logStream << line << "\r\n";
    logStream.flush();
}

void printLogLine(const QString& line)
{
    const QByteArray bytes = line.toUtf8();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

QString buildLogLine(QtMsgType type, const QString& msg, const QDateTime& time)
{
    QString level;
    switch (type) {
    case QtDebugMsg:
        level = QStringLiteral("Debug");
        break;
    case QtWarningMsg:
        level = QStringLiteral("Warn");
        break;
    case QtCriticalMsg:
        level = QStringLiteral("Critical");
        break;
    case QtFatalMsg:
        level = QStringLiteral("Fatal");
        break;
    case QtInfoMsg:
        return QString();
    }
    // One pass, so a "%1" inside the message stays as it is.
    return QStringLiteral("[%1] %2 (%3)").arg(level, msg, time.toString(QStringLiteral("yyyyMMdd hh:mm:ss.zzz")));
}

QString logFilePath(const QDate& day)
{
    return QStringLiteral("./log/log_%1.txt").arg(day.toString(QStringLiteral("yyMMdd")));
}
