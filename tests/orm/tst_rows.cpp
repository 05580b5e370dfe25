#include "TestClasses.h"

#include "orm/Dao.h"
#include "orm/Database.h"

#include <QSqlQuery>
#include <QTemporaryDir>
#include <QtTest>

// Insert, update and fetch of single rows.
class tst_Rows : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void insertWritesKeyBackAndFetchRoundTrips();
    void columnListsTouchOnlyTheirColumns();
    void missingRowIsToldApartFromError();
    void nullAndExtraColumnsAreTolerated();
    void valuesWithQuotesAreBound();

private:
    QTemporaryDir m_dir;
};

void tst_Rows::init()
{
    orm::ConnectionSettings settings;
    settings.databaseName = m_dir.filePath(QStringLiteral("rows.db"));
    QFile::remove(settings.databaseName);
    orm::Database::setSettings(settings);
    QVERIFY(orm::createTable<Shelf>().isOk());
    QVERIFY(orm::createTable<Book>().isOk());
}

void tst_Rows::cleanup()
{
    orm::Database::dropAll();
}

void tst_Rows::insertWritesKeyBackAndFetchRoundTrips()
{
    Shelf shelf;
    QVERIFY(orm::insert(shelf).isOk());
    QCOMPARE(shelf.ID, 1);

    Book book;
    book.Title = 2.25;
    book.Pages = 300;
    book.Stamp = Q_INT64_C(1700000000123);
    book.Text = QStringLiteral("线 7");
    book.Blob = QByteArray("\x00\x01\xff", 3);
    book.ShelfID = std::make_shared<Shelf>(shelf);
    QVERIFY(orm::insert(book).isOk());
    QCOMPARE(book.ID, 1);
    Book second;
    QVERIFY(orm::insert(second).isOk());
    QCOMPARE(second.ID, 2);

    Book back;
    back.ID = 1;
    QVERIFY(orm::fetchById(back).isOk());
    QCOMPARE(back.Title, 2.25);
    QCOMPARE(back.Pages, 300);
    QCOMPARE(back.Stamp, Q_INT64_C(1700000000123));
    QCOMPARE(back.Text, QStringLiteral("线 7"));
    QCOMPARE(back.Blob, QByteArray("\x00\x01\xff", 3));
    QVERIFY(back.ShelfID);
    QCOMPARE(back.ShelfID->ID, 1);

    back.Pages = 12;
    back.ShelfID.reset();
    QVERIFY(orm::update(back).isOk());
    Book again;
    again.ID = 1;
    QVERIFY(orm::fetchById(again).isOk());
    QCOMPARE(again.Pages, 12);
    QVERIFY(!again.ShelfID);
}

void tst_Rows::columnListsTouchOnlyTheirColumns()
{
    Book book;
    book.Title = 5.0;
    book.Pages = 50;
    book.Text = QStringLiteral("kept");
    QVERIFY(orm::insert(book).isOk());

    book.Title = 6.0;
    book.Pages = 60;
    QVERIFY(orm::update(book, {QStringLiteral("Pages")}).isOk());

    Book partial;
    partial.ID = book.ID;
    partial.Text = QStringLiteral("untouched");
    QVERIFY(orm::fetchById(partial, {QStringLiteral("Title"), QStringLiteral("Pages")}).isOk());
    QCOMPARE(partial.Title, 5.0);
    QCOMPARE(partial.Pages, 60);
    QCOMPARE(partial.Text, QStringLiteral("untouched"));

    const orm::Status unknown = orm::fetchById(partial, {QStringLiteral("Pages; DROP TABLE Book")});
    QVERIFY(unknown.isFailed());
    QVERIFY(orm::update(book, {QStringLiteral("list_Note")}).isFailed());
}

void tst_Rows::missingRowIsToldApartFromError()
{
    Book book;
    book.ID = 42;
    const orm::Status missing = orm::fetchById(book);
    QCOMPARE(missing.kind(), orm::Status::NoSuchRow);
    QCOMPARE(orm::update(book).kind(), orm::Status::NoSuchRow);

    Note note; // no table
    note.ID = 1;
    const orm::Status failed = orm::fetchById(note);
    QCOMPARE(failed.kind(), orm::Status::Failed);
    QVERIFY(failed.error().databaseText().contains(QStringLiteral("no such table")));

    // A file that is no database at all.
    orm::Database::dropAll();
    const QString junk = m_dir.filePath(QStringLiteral("junk.db"));
    QFile file(junk);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(QByteArray(4096, 'x'));
    file.close();
    orm::ConnectionSettings settings;
    settings.databaseName = junk;
    orm::Database::setSettings(settings);
    QCOMPARE(orm::createTable<Book>().kind(), orm::Status::Failed);
}

void tst_Rows::nullAndExtraColumnsAreTolerated()
{
    QVERIFY(orm::execute(QStringLiteral("ALTER TABLE Book ADD COLUMN Extra TEXT")).isOk());
    QVERIFY(orm::execute(QStringLiteral("INSERT INTO Book (ID, Title, Extra) VALUES (9, NULL, 'x')"))
                .isOk());

    Book book;
    book.ID = 9;
    book.Pages = 99;
    book.Text = QStringLiteral("old");
    QVERIFY(orm::fetchById(book).isOk());
    QCOMPARE(book.Title, 0.0);
    QCOMPARE(book.Pages, 0);
    QVERIFY(book.Text.isEmpty());
    QVERIFY(book.Blob.isEmpty());
    QVERIFY(!book.ShelfID);

    Book fresh;
    QVERIFY(orm::insert(fresh).isOk());
    QCOMPARE(fresh.ID, 10);
}

void tst_Rows::valuesWithQuotesAreBound()
{
    const QString tricky = QStringLiteral("O'Brien \"x\"; DROP TABLE Book; --");
    Book book;
    book.Text = tricky;
    QVERIFY(orm::insert(book).isOk());

    QVector<std::shared_ptr<Book>> found;
    QVERIFY(orm::fetchByQuery(orm::Query{QStringLiteral("WHERE Text = ?"), {tricky}}, found).isOk());
    QCOMPARE(found.size(), 1);
    QCOMPARE(found.first()->Text, tricky);
    QCOMPARE(found.first()->ID, book.ID);

    QVERIFY(orm::execute(QStringLiteral("UPDATE Book SET Text = ? WHERE ID = ?"),
                         {tricky + tricky, book.ID})
                .isOk());
    QVERIFY(orm::fetchById(book, {QStringLiteral("Text")}).isOk());
    QCOMPARE(book.Text, tricky + tricky);
}

QTEST_GUILESS_MAIN(tst_Rows)
#include "tst_rows.moc"
