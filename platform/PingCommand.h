#pragma once

#include <QString>
#include <QStringList>

class QTextCodec;

// How the network test runs this platform's ping: the program, its arguments
// and the code page of its output. Each run is bounded to a few echo requests
// with a short reply time-out, so an unreachable unit costs seconds.
class PingCommand
{
public:
    enum Flavor {
        Windows, // four requests by default; console output in the GBK code page
        IpUtils, // Linux; pings until stopped unless given a count
    };

    // Tests give a program of their own in place of the system's ping.
    explicit PingCommand(Flavor flavor = nativeFlavor(), const QString& program = QStringLiteral("ping"));

    static Flavor nativeFlavor();

    QString program() const;
    // Empty unless the address is IPv4: it becomes a program argument, so no
    // option and no name to look up may get through.
    QStringList arguments(const QString& address) const;
    QTextCodec* codec() const;

private:
    Flavor flavor;
    QString programPath;
};
