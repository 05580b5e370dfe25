#include "platform/PingCommand.h"

#include <QHostAddress>
#include <QTextCodec>

PingCommand::PingCommand(Flavor flavor, const QString& program)
    : flavor(flavor)
    , programPath(program)
{
}

PingCommand::Flavor PingCommand::nativeFlavor()
{
#ifdef Q_OS_WIN
    return Windows;
#else
    return IpUtils;
#endif
}

QString PingCommand::program() const
{
    return programPath;
}

QStringList PingCommand::arguments(const QString& address) const
{
    const QHostAddress host(address);
    if (host.protocol() != QAbstractSocket::IPv4Protocol)
        return {};
    // The canonical dotted form, whatever blanks or short forms were typed.
    const QString target = host.toString();
    if (flavor == Windows)
        return {target, QStringLiteral("-w"), QStringLiteral("500")};
    // Numeric output only: a reverse look-up would send queries to a name
    // server far from the units.
    return {QStringLiteral("-n"), QStringLiteral("-c"), QStringLiteral("4"),
            QStringLiteral("-W"), QStringLiteral("1"),  target};
}

QTextCodec* PingCommand::codec() const
{
    if (flavor == Windows) {
        if (QTextCodec* gbk = QTextCodec::codecForName("GBK"))
            return gbk;
    }
    return QTextCodec::codecForLocale();
}
