#pragma once

#include <QDate>
#include <QDateTime>
#include <QString>
#include <QtGlobal>

// Qt's diagnostic messages as lines "[level] message (time)" in the day's
// file "./log/log_yyMMdd.txt" and on standard output. Nothing installs it at
// start-up.
void installMessageLog();
void logMessageHandler(QtMsgType type, const QMessageLogContext& context, const QString& msg);
void writeLogLine(const QString& line);
void printLogLine(const QString& line);

// The line for a message at a given time; null for informational messages,
// which are not logged.
QString buildLogLine(QtMsgType type, const QString& msg, const QDateTime& time);
QString logFilePath(const QDate& day);
