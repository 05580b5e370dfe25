#include "project/ReadRetry.h"

#include <utility>

ReadRetry::ReadRetry(int retryMs, std::function<void()> retry, QObject* parent)
    : QObject(parent)
    , retry(std::move(retry))
{
    retryTimer.setSingleShot(true);
    retryTimer.setInterval(retryMs);
    connect(&retryTimer, &QTimer::timeout, this, [this] { this->retry(); });
}

void ReadRetry::failed(ProjectFileAccess::Access access)
{
    // A read that fails without telling why is taken for damage, as a
    // write is.
    set(access == ProjectFileAccess::Writable ? ProjectFileAccess::Unknown : access);
    if (failure == ProjectFileAccess::Locked)
        retryTimer.start();
}

void ReadRetry::clear()
{
    retryTimer.stop();
    set(ProjectFileAccess::Writable);
}

QString ReadRetry::status() const
{
    if (failure == ProjectFileAccess::Writable)
        return QString();
    const QString cause = ProjectFileAccess::cause(failure);
    if (failure == ProjectFileAccess::Locked)
        return QStringLiteral("<p style='color:red;'>%1，所选数据未能读取，稍后重试</p>").arg(cause);
    return QStringLiteral("<p style='color:red;'>%1，所选数据未能读取</p>").arg(cause);
}

void ReadRetry::set(ProjectFileAccess::Access access)
{
    if (access == failure)
        return;
    failure = access;
    emit changed();
}
