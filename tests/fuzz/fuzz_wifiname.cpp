// The network-name rule over any command output. The name is one trimmed
// piece of one line, "None" when there is none; the line endings used, and
// lines before the first SSID line (a BSSID line among them), do not change
// it, nor do lines after it once it names a network.
//
// Input: u8 encoding (0: UTF-8, else UTF-16 little-endian), then the output.

#include "platform/WifiName.h"

#include "FuzzReader.h"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzReader input(data, size);
    const bool utf16 = input.Take<quint8>() != 0;
    const QByteArray bytes = input.TakeBytes(size);
    const QString report = utf16
        ? QString::fromUtf16(reinterpret_cast<const char16_t*>(bytes.constData()), bytes.size() / 2)
        : QString::fromUtf8(bytes);

    const QString name = WifiName::nameFromReport(report);
    Require(!name.isEmpty() && name == name.simplified());
    Require(WifiName::nameFromReport(QString(report).replace(QLatin1Char('\n'), QLatin1String("\r\n"))) == name);
    Require(WifiName::nameFromReport(QStringLiteral("BSSID : 00:11:22:33:44:55\r\n \t\n") + report) == name);
    if (name != QLatin1String("None"))
        Require(WifiName::nameFromReport(report + QStringLiteral("\nSSID : Other")) == name);
    return 0;
}
