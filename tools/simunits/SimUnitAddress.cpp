#include "tools/simunits/SimUnitAddress.h"

bool ParseLoopbackAddress(const QString& text, QHostAddress* address)
{
    QHostAddress parsed;
    if (!parsed.setAddress(text.trimmed()) || parsed.protocol() != QAbstractSocket::IPv4Protocol)
        return false;
    if (!parsed.isInSubnet(QHostAddress(QStringLiteral("127.0.0.0")), 8))
        return false;
    if (address)
        *address = parsed;
    return true;
}
