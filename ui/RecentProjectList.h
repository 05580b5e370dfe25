#pragma once

#include <QStringList>

class QSettings;

// The recent projects kept in the "ProjList" group of the configuration
// file as "List1" ... "List10", newest first. Entries whose file is gone are
// dropped when the list is read.
class RecentProjectList
{
public:
    static constexpr int MaxKeys = 10;
    static constexpr int MaxEntries = 9;

    explicit RecentProjectList(QSettings* settings);

    QStringList entries() const { return m_entries; }

    // Reads the keys in order, removes the keys of vanished files and repeated
    // paths (the first one stays).
    void load();
    // Writes one key per entry; a vanished file is written as an empty text.
    // Keys past the list are left as they are.
    void save();
    // Puts the path in front, once, keeping at most MaxEntries; then saves
    // and reads the list back.
    void add(const QString& path);

private:
    QSettings* m_settings;
    QStringList m_entries;
};
