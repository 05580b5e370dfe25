#include "ui/RecentProjectList.h"

#include <QFileInfo>
#include <QSettings>

namespace {

const QString Group = QStringLiteral("ProjList");

QString key(int number)
{
    return QStringLiteral("List%1").arg(number);
}

} // namespace

RecentProjectList::RecentProjectList(QSettings* settings)
    : m_settings(settings)
{
}

void RecentProjectList::load()
{
    m_entries.clear();
    m_settings->beginGroup(Group);
    for (int number = 1; number <= MaxKeys; ++number) {
        const QString path = m_settings->value(key(number)).toString();
        if (!path.isEmpty() && QFileInfo::exists(path))
            m_entries.append(path);
        else
            m_settings->remove(key(number));
    }
    m_settings->endGroup();
    m_entries.removeDuplicates();
}

void RecentProjectList::save()
{
    m_settings->beginGroup(Group);
    for (int i = 0; i < m_entries.size(); ++i) {
        const QString& path = m_entries.at(i);
        m_settings->setValue(key(i + 1), QFileInfo::exists(path) ? path : QString());
    }
    m_settings->endGroup();
}

void RecentProjectList::add(const QString& path)
{
    m_entries.removeAll(path);
    while (m_entries.size() > MaxEntries - 1)
        m_entries.removeLast();
    m_entries.prepend(path);
    save();
    load();
}
