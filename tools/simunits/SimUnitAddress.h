#pragma once

#include <QHostAddress>
#include <QString>

// The simulated units serve this machine only: true for a dotted IPv4
// address inside 127.0.0.0/8, false for anything else (IPv6 loopback
// included, since the field program speaks IPv4).
bool ParseLoopbackAddress(const QString& text, QHostAddress* address);
