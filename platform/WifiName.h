#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

class QProcess;
class QTimer;

// Name of the wireless network the computer is connected to, read from the
// system's own tool ("iw dev <interface> link") without blocking the calling
// thread. Each wireless interface is asked in turn; the first name found is
// the answer, "None" when no interface, no tool or no name.
class WifiName : public QObject
{
    Q_OBJECT

public:
    // An empty tool means "iw" from the search path or the system folders;
    // tests give their own tool and interface folder.
    explicit WifiName(const QString& tool = QString(), const QString& interfacesPath = QStringLiteral("/sys/class/net"),
                      QObject* parent = nullptr);

    // How long one interface may take before its run is ended.
    void setTimeout(int ms);

    // Starts a query; its result arrives by nameFound on this object's
    // thread, never before query returns. A query while one runs joins it.
    void query();

    // The name on the first line that starts with "SSID" (white space
    // trimmed and collapsed): everything after its first ':', since a name
    // may contain ':'. "None" when no such line carries a name.
    static QString nameFromReport(const QString& report);

signals:
    void nameFound(QString name);

private:
    QStringList wirelessInterfaces() const;
    void askNext();
    void finish(const QString& name);

    QString tool;
    QString interfacesPath;
    int timeoutMs = 30000;
    QStringList pending;
    QProcess* process = nullptr;
    QTimer* timer = nullptr;
};
