#include "TestClasses.h"

#include "orm/Dao.h"
#include "orm/Database.h"
#include "orm/Registry.h"
#include "orm/SqlTypes.h"

#include <QSqlQuery>
#include <QTemporaryDir>
#include <QtTest>

// Registration as the schema update reads it, and the tables made from it.
class tst_Schema : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void listsColumnsInRegistrationOrder();
    void createsTablesWithMappedTypes();
    void addColumnLoopAddsNoJunkColumns();

private:
    QStringList tableColumns(const QString& table);

    QTemporaryDir m_dir;
};

void tst_Schema::init()
{
    orm::ConnectionSettings settings;
    settings.databaseName = m_dir.filePath(QStringLiteral("schema.db"));
    QFile::remove(settings.databaseName);
    orm::Database::setSettings(settings);
}

void tst_Schema::cleanup()
{
    orm::Database::dropAll();
}

QStringList tst_Schema::tableColumns(const QString& table)
{
    QSqlQuery query(orm::Database::connection());
    query.exec(QStringLiteral("PRAGMA table_info(%1)").arg(table));
    QStringList columns;
    while (query.next())
        columns.append(query.value(1).toString() + QLatin1Char(' ') + query.value(2).toString()
                       + (query.value(5).toInt() ? QStringLiteral(" pk") : QString()));
    return columns;
}

void tst_Schema::listsColumnsInRegistrationOrder()
{
    const orm::ClassInfo& book = orm::ClassDef<Book>::instance();
    QVERIFY(orm::Registry::classes().contains(&book));

    QStringList described;
    for (const orm::ColumnInfo& column : book.columns())
        described.append(column.name + QLatin1Char(' ') + column.sqlType() + QLatin1Char(' ')
                         + column.properties.keys().join(QLatin1Char(',')));
    QCOMPARE(described, (QStringList{"ID INTEGER INDEX", "Title REAL ", "Pages INTEGER ",
                                     "Stamp INTEGER ", "Text TEXT ", "Blob BLOB ",
                                     "ShelfID INTEGER "}));
    QCOMPARE(book.columns().first().properties.value(QStringLiteral("INDEX")), QVariant(1));

    QCOMPARE(book.relations().size(), 1);
    QCOMPARE(book.relations().first().name, QStringLiteral("list_Note"));
    QCOMPARE(book.relations().first().foreignKey, QStringLiteral("BookID"));
    QCOMPARE(book.relations().first().childTable, QStringLiteral("Note"));
}

void tst_Schema::createsTablesWithMappedTypes()
{
    orm::SqlTypes::set(QStringLiteral("double"), QStringLiteral("REAL"));
    QVERIFY(orm::createTable<Shelf>().isOk());
    QVERIFY(orm::createTable<Book>().isOk());
    QCOMPARE(tableColumns(QStringLiteral("Book")),
             (QStringList{"ID INTEGER pk", "Title REAL", "Pages INTEGER", "Stamp INTEGER",
                          "Text TEXT", "Blob BLOB", "ShelfID INTEGER"}));
    QCOMPARE(tableColumns(QStringLiteral("Shelf")),
             (QStringList{"ID INTEGER pk", "Label TEXT", "Width REAL"}));

    // A second creation on an existing file is no failure.
    QVERIFY(orm::createTable<Book>().isOk());
}

void tst_Schema::addColumnLoopAddsNoJunkColumns()
{
    // An older file: Book without Blob and ShelfID.
    QVERIFY(orm::execute(QStringLiteral("CREATE TABLE Book (ID INTEGER PRIMARY KEY, Title REAL, "
                                        "Pages INTEGER, Stamp INTEGER, Text TEXT)"))
                .isOk());
    int added = 0;
    for (const orm::ColumnInfo& column : orm::ClassDef<Book>::instance().columns()) {
        if (orm::execute(QStringLiteral("ALTER TABLE Book ADD COLUMN %1 %2;")
                             .arg(column.name, column.sqlType()))
                .isOk())
            ++added;
    }
    QCOMPARE(added, 2);
    QCOMPARE(tableColumns(QStringLiteral("Book")),
             (QStringList{"ID INTEGER pk", "Title REAL", "Pages INTEGER", "Stamp INTEGER",
                          "Text TEXT", "Blob BLOB", "ShelfID INTEGER"}));
}

QTEST_GUILESS_MAIN(tst_Schema)
#include "tst_schema.moc"
