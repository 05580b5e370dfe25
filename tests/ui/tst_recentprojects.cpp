#include "ui/RecentProjectList.h"

#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

// The recent list as kept in "config.ini": newest first, nine at most after
// an addition, vanished files dropped from the list and from the file.
class tst_RecentProjects : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void additions_data();
    void additions();
    void loadDropsVanishedAndRepeatedEntries();
    void saveBlanksVanishedFilesAndLeavesLaterKeys();

private:
    QString project(int n) const;
    QStringList keys();

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<QSettings> m_settings;
};

void tst_RecentProjects::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    m_settings = std::make_unique<QSettings>(m_dir->filePath("config.ini"), QSettings::IniFormat);
    for (int n = 1; n <= 12; ++n) {
        QFile file(project(n));
        QVERIFY(file.open(QIODevice::WriteOnly));
    }
}

QString tst_RecentProjects::project(int n) const
{
    return m_dir->filePath(QStringLiteral("p%1.ZOLVA").arg(n));
}

QStringList tst_RecentProjects::keys()
{
    m_settings->beginGroup("ProjList");
    QStringList values;
    for (const QString& key : m_settings->childKeys())
        values << key + "=" + QFileInfo(m_settings->value(key).toString()).fileName();
    m_settings->endGroup();
    return values;
}

void tst_RecentProjects::additions_data()
{
    QTest::addColumn<int>("existing");
    QTest::addColumn<int>("added");
    QTest::addColumn<QList<int>>("expected");

    QTest::newRow("tenth drops the oldest") << 9 << 10 << QList<int>{10, 1, 2, 3, 4, 5, 6, 7, 8};
    QTest::newRow("front stays once") << 3 << 1 << QList<int>{1, 2, 3};
    QTest::newRow("middle moves to front") << 3 << 2 << QList<int>{2, 1, 3};
    QTest::newRow("first entry") << 0 << 5 << QList<int>{5};
}

void tst_RecentProjects::additions()
{
    QFETCH(int, existing);
    QFETCH(int, added);
    QFETCH(QList<int>, expected);

    RecentProjectList list(m_settings.get());
    for (int n = existing; n >= 1; --n)
        list.add(project(n));
    list.add(project(added));

    QStringList paths;
    for (int n : expected)
        paths << project(n);
    QCOMPARE(list.entries(), paths);
    RecentProjectList reread(m_settings.get());
    reread.load();
    QCOMPARE(reread.entries(), paths);
}

void tst_RecentProjects::loadDropsVanishedAndRepeatedEntries()
{
    m_settings->beginGroup("ProjList");
    m_settings->setValue("List1", project(1));
    m_settings->setValue("List2", project(2));
    m_settings->setValue("List3", m_dir->filePath("deleted.ZOLVA"));
    m_settings->setValue("List4", project(1));
    m_settings->setValue("List5", "");
    m_settings->setValue("List10", project(4));
    m_settings->setValue("List11", project(5));
    m_settings->endGroup();

    RecentProjectList list(m_settings.get());
    list.load();
    QCOMPARE(list.entries(), (QStringList{project(1), project(2), project(4)}));
    QCOMPARE(keys(),
             (QStringList{"List1=p1.ZOLVA", "List10=p4.ZOLVA", "List11=p5.ZOLVA", "List2=p2.ZOLVA", "List4=p1.ZOLVA"}));
}

void tst_RecentProjects::saveBlanksVanishedFilesAndLeavesLaterKeys()
{
    RecentProjectList list(m_settings.get());
    for (int n : {6, 5, 4, 3, 2, 1})
        list.add(project(n));
    QVERIFY(QFile::remove(project(2)));
    m_settings->setValue("ProjList/List9", project(9));

    list.save();
    QCOMPARE(keys(),
             (QStringList{"List1=p1.ZOLVA", "List2=", "List3=p3.ZOLVA", "List4=p4.ZOLVA", "List5=p5.ZOLVA",
                          "List6=p6.ZOLVA", "List9=p9.ZOLVA"}));
    list.load();
    QCOMPARE(list.entries().size(), 6);
    QVERIFY(!list.entries().contains(project(2)));
}

QTEST_APPLESS_MAIN(tst_RecentProjects)
#include "tst_recentprojects.moc"
