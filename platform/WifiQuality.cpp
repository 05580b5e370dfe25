#include "platform/WifiQuality.h"

#include <QFile>
#include <QTextStream>

#include <algorithm>
#include <cmath>

#ifdef Q_OS_WIN
#include <windows.h>
#include <wlanapi.h>
#endif

WifiQuality::WifiQuality(const QString& wirelessPath)
    : wirelessPath(wirelessPath)
{
}

int WifiQuality::fromLinkQuality(double link)
{
    if (!std::isfinite(link))
        return -1;
    const double scaled = std::round(link * 100.0 / 70.0);
    return int(std::clamp(scaled, 0.0, 100.0));
}

#ifdef Q_OS_WIN

int WifiQuality::query() const
{
    HANDLE client = nullptr;
    DWORD negotiated = 0;
    if (WlanOpenHandle(2, nullptr, &negotiated, &client) != ERROR_SUCCESS)
        return -1;
    PWLAN_INTERFACE_INFO_LIST interfaces = nullptr;
    if (WlanEnumInterfaces(client, nullptr, &interfaces) != ERROR_SUCCESS) {
        WlanCloseHandle(client, nullptr);
        return -1;
    }
    int quality = -1;
    for (DWORD i = 0; i < interfaces->dwNumberOfItems; ++i) {
        const WLAN_INTERFACE_INFO& info = interfaces->InterfaceInfo[i];
        if (info.isState != wlan_interface_state_connected)
            continue;
        DWORD size = 0;
        PVOID data = nullptr;
        if (WlanQueryInterface(client, &info.InterfaceGuid, wlan_intf_opcode_current_connection, nullptr, &size,
                               &data, nullptr) == ERROR_SUCCESS && data) {
            quality = int(static_cast<PWLAN_CONNECTION_ATTRIBUTES>(data)->wlanAssociationAttributes.wlanSignalQuality);
            WlanFreeMemory(data);
        }
        break;
    }
    WlanFreeMemory(interfaces);
    WlanCloseHandle(client, nullptr);
    return quality;
}

#else

// "wlan0: 0000   54.  -56.  -256 ..." after two header lines; the dot marks a
// fresh value. An interface that is not associated reports quality 0.
int WifiQuality::query() const
{
    QFile file(wirelessPath);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return -1;
    QTextStream in(&file);
    while (!in.atEnd()) {
        const QString line = in.readLine();
        const int colon = line.indexOf(QLatin1Char(':'));
        if (colon < 0)
            continue;
        const QStringList fields = line.mid(colon + 1).split(QLatin1Char(' '), Qt::SkipEmptyParts);
        if (fields.size() < 2)
            continue;
        QString link = fields.at(1);
        if (link.endsWith(QLatin1Char('.')))
            link.chop(1);
        bool ok = false;
        const double value = link.toDouble(&ok);
        if (ok && value > 0)
            return fromLinkQuality(value);
    }
    return -1;
}

#endif
