#include "platform/WifiName.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTimer>

namespace {

const QString kNone = QStringLiteral("None");

// iw writes every byte of a name that is not printable ASCII (and the
// backslash itself) as \xHH; the bytes are UTF-8 for almost every network.
QString decodeToolOutput(QByteArray output)
{
    const int nul = output.indexOf('\0');
    if (nul >= 0)
        output.truncate(nul);
    QByteArray bytes;
    bytes.reserve(output.size());
    for (int i = 0; i < output.size(); ++i) {
        if (output.at(i) == '\\' && i + 3 < output.size() && output.at(i + 1) == 'x') {
            bool ok = false;
            const int value = output.mid(i + 2, 2).toInt(&ok, 16);
            if (ok) {
                bytes.append(char(value));
                i += 3;
                continue;
            }
        }
        bytes.append(output.at(i));
    }
    return QString::fromUtf8(bytes);
}

QString findTool()
{
    // Debian keeps iw in /usr/sbin, which is not on an ordinary user's path.
    QString found = QStandardPaths::findExecutable(QStringLiteral("iw"));
    if (found.isEmpty())
        found = QStandardPaths::findExecutable(QStringLiteral("iw"),
                                               {QStringLiteral("/usr/sbin"), QStringLiteral("/sbin")});
    return found;
}

} // namespace

WifiName::WifiName(const QString& tool, const QString& interfacesPath, QObject* parent)
    : QObject(parent)
    , tool(tool)
    , interfacesPath(interfacesPath)
{
}

void WifiName::setTimeout(int ms)
{
    timeoutMs = ms;
}

QString WifiName::nameFromReport(const QString& report)
{
    // Not split by a regular expression: it matches nothing in text that is
    // not valid UTF-16, and the whole report would be taken for one line.
    const QStringList lines =
        QString(report).replace(QLatin1Char('\r'), QLatin1Char('\n')).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    for (const QString& raw : lines) {
        const QString line = raw.simplified();
        if (!line.startsWith(QLatin1String("SSID")))
            continue;
        const int colon = line.indexOf(QLatin1Char(':'));
        const QString name = colon < 0 ? QString() : line.mid(colon + 1).simplified();
        return name.isEmpty() ? kNone : name;
    }
    return kNone;
}

QStringList WifiName::wirelessInterfaces() const
{
    QStringList found;
    const QDir dir(interfacesPath);
    for (const QString& name : dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name)) {
        // "wireless" where the old extensions are built in, "phy80211" on
        // every current driver.
        if (QFileInfo::exists(dir.filePath(name + QStringLiteral("/wireless")))
            || QFileInfo::exists(dir.filePath(name + QStringLiteral("/phy80211"))))
            found.append(name);
    }
    return found;
}

void WifiName::query()
{
    if (process || !pending.isEmpty())
        return;
    const QString program = tool.isEmpty() ? findTool() : tool;
    pending = wirelessInterfaces();
    if (program.isEmpty() || pending.isEmpty()) {
        pending.clear();
        QMetaObject::invokeMethod(
            this, [this] { emit nameFound(kNone); }, Qt::QueuedConnection);
        return;
    }

    timer = new QTimer(this);
    timer->setSingleShot(true);
    connect(timer, &QTimer::timeout, this, [this] {
        // A tool that hangs on one interface will hang on the next too.
        pending.clear();
        process->kill();
    });
    process = new QProcess(this);
    process->setProgram(program);
    process->setStandardErrorFile(QProcess::nullDevice());
    connect(process, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart)
            finish(kNone);
    });
    connect(process, qOverload<int, QProcess::ExitStatus>(&QProcess::finished), this, [this] {
        timer->stop();
        const QString name = nameFromReport(decodeToolOutput(process->readAllStandardOutput()));
        if (name != kNone || pending.isEmpty())
            finish(name);
        else
            askNext();
    });
    askNext();
}

void WifiName::askNext()
{
    // The timer first: a start that fails at once finishes the query.
    timer->start(timeoutMs);
    process->setArguments({QStringLiteral("dev"), pending.takeFirst(), QStringLiteral("link")});
    process->start(QIODevice::ReadOnly);
}

void WifiName::finish(const QString& name)
{
    pending.clear();
    timer->stop();
    timer->deleteLater();
    timer = nullptr;
    process->deleteLater();
    process = nullptr;
    emit nameFound(name);
}
