#include "orm/Dao.h"
#include "orm/Database.h"
#include "tests/support/TestEnvironment.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

#include <memory>

using orm::Status;

class Book;

// Two small persistent classes with one member of every mapped kind.
class Shelf
{
public:
    virtual ~Shelf() = default;
    int ID = 0;
    QString Label;
    QVector<std::shared_ptr<Book>> list_Book;

    static void ormRegister(orm::ClassDef<Shelf>& def)
    {
        def.setName(QStringLiteral("Shelf"));
        def.id(&Shelf::ID, QStringLiteral("ID"));
        def.data(&Shelf::Label, QStringLiteral("Label"));
        def.oneToMany(&Shelf::list_Book, QStringLiteral("list_Book"), QStringLiteral("ShelfID"));
    }
};

class Book
{
public:
    virtual ~Book() = default;
    int ID = 0;
    double Title = -1.0;
    int Pages = 7;
    qint64 Stamp = 0;
    QString Text;
    QByteArray Blob;
    std::shared_ptr<Shelf> ShelfID;

    static void ormRegister(orm::ClassDef<Book>& def)
    {
        def.setName(QStringLiteral("Book"));
        def.id(&Book::ID, QStringLiteral("ID"));
        def.data(&Book::Title, QStringLiteral("Title"));
        def.data(&Book::Pages, QStringLiteral("Pages"));
        def.data(&Book::Stamp, QStringLiteral("Stamp"));
        def.data(&Book::Text, QStringLiteral("Text"));
        def.data(&Book::Blob, QStringLiteral("Blob"));
        def.manyToOne(&Book::ShelfID, QStringLiteral("ShelfID"));
    }
};

// Rows written and read through the mapper, on one connection per thread.
class tst_Mapper : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

private slots:
    void cleanup() { orm::Database::dropAll(); }

    void init()
    {
        orm::ConnectionSettings settings;
        settings.databaseName = m_dir.filePath(QStringLiteral("rows.db"));
        QFile::remove(settings.databaseName);
        orm::Database::setSettings(settings);
        QVERIFY(orm::createTable<Shelf>().isOk());
        QVERIFY(orm::createTable<Book>().isOk());
    }

    void rowsRoundTripThroughRegisteredColumnsOnly()
    {
        Shelf shelf;
        QVERIFY(orm::insert(shelf).isOk());
        Book book;
        book.ShelfID = std::make_shared<Shelf>(shelf);
        book.Title = 2.25;
        book.Stamp = Q_INT64_C(1700000000123);
        book.Text = QStringLiteral("线 7 O'Brien \"x\"; DROP TABLE Book; --");
        book.Blob = QByteArray("\x00\x01\xff", 3);
        QVERIFY(orm::insert(book).isOk());
        book.Title = 6.0;
        book.Pages = 60;
        QVERIFY(orm::update(book, {QStringLiteral("Pages")}).isOk());

        QVector<std::shared_ptr<Book>> found;
        QVERIFY(orm::fetchByQuery(orm::Query{QStringLiteral("WHERE Text = ?"), {book.Text}}, found).isOk());
        QCOMPARE(found.size(), 1);
        const Book& back = *found.first();
        QCOMPARE((QVariantList{back.ID, back.Title, back.Pages, back.Stamp, back.Text, back.Blob, back.ShelfID->ID}),
                 (QVariantList{1, 2.25, 60, Q_INT64_C(1700000000123), book.Text, book.Blob, 1}));
        Book partial;
        partial.ID = book.ID;
        QVERIFY(orm::fetchById(partial, {QStringLiteral("Title")}).isOk());
        QCOMPARE((QVariantList{partial.Title, partial.Pages}), (QVariantList{2.25, 7}));
        QCOMPARE(orm::columnsExcept<Book>({QStringLiteral("Blob"), QStringLiteral("ShelfID")}),
                 (QStringList{"ID", "Title", "Pages", "Stamp", "Text"}));

        // Names outside the registration are refused, never pasted into SQL;
        // relations own no column.
        QVERIFY(orm::fetchById(partial, {QStringLiteral("Pages; DROP TABLE Book")}).isFailed());
        QVERIFY(orm::update(book, {QStringLiteral("list_Book")}).isFailed());
        // A whole-row write is never implied: a light object would wipe its BLOBs.
        QVERIFY(orm::update(book, {}).isFailed());
    }

    void rowsAsTheFileHoldsThem()
    {
        // NULL columns read as defaults, extra columns are ignored.
        QVERIFY(orm::execute(QStringLiteral("ALTER TABLE Book ADD COLUMN Extra TEXT")).isOk());
        QVERIFY(orm::execute(QStringLiteral("INSERT INTO Book (ID, Extra) VALUES (9, 'x')")).isOk());
        Book book;
        book.ID = 9;
        book.Text = QStringLiteral("old");
        book.ShelfID = std::make_shared<Shelf>();
        QVERIFY(orm::fetchById(book).isOk());
        QCOMPARE((QVariantList{book.Title, book.Pages, book.Text, book.Blob}),
                 (QVariantList{0.0, 0, QString(), QByteArray()}));
        QVERIFY(!book.ShelfID);

        // A missing row is told apart from an error.
        book.ID = 42;
        QCOMPARE(orm::fetchById(book).kind(), Status::NoSuchRow);
        QCOMPARE(orm::update(book, {QStringLiteral("Pages")}).kind(), Status::NoSuchRow);
        QVERIFY(orm::execute(QStringLiteral("DROP TABLE Book")).isOk());
        const Status failed = orm::fetchById(book);
        QCOMPARE(failed.kind(), Status::Failed);
        QVERIFY(failed.error().databaseText().contains(QStringLiteral("no such table")));
    }

    // Rows by identifier come in the order asked for, past the bound of
    // values in one statement, and all or none.
    void rowsByIdentifierAllOrNone()
    {
        QVERIFY(orm::execute(QStringLiteral("INSERT INTO Book (Pages) WITH RECURSIVE k(j) AS (SELECT 1 UNION ALL "
                                            "SELECT j + 1 FROM k WHERE j < 600) SELECT j FROM k"))
                    .isOk());
        QVector<int> ids{599, 7};
        for (int id = 600; id >= 1; --id)
            ids << id;
        QVector<std::shared_ptr<Book>> books;
        QVERIFY(orm::fetchByIds(ids, books, {QStringLiteral("Pages")}).isOk() && books.size() == 602);
        QVERIFY(books.at(0)->Pages == 599 && books.at(1)->Pages == 7 && books.at(2)->Pages == 600);
        QVERIFY(orm::fetchByIds(ids << 601, books).isNoSuchRow() && books.isEmpty());
    }

    // An index entry whose key was overwritten, 3 by 48, among the entries of
    // key 3: the search for shelf 3 lands on it and SQLite hands out its row.
    void childrenFromADamagedIndexFailTheFetch()
    {
        QVector<std::shared_ptr<Shelf>> shelves;
        for (int shelf = 1; shelf <= 6; ++shelf) {
            shelves.append(std::make_shared<Shelf>());
            QVERIFY(orm::insert(*shelves.last()).isOk());
        }
        for (int shelf : {1, 1, 1, 2, 2, 2, 3, 3, 3, 4, 5, 6}) {
            Book book;
            book.ShelfID = shelves.at(shelf - 1);
            QVERIFY(orm::insert(book).isOk());
        }
        QVERIFY(orm::execute(QStringLiteral("CREATE INDEX IDX_Book_ShelfID ON Book (ShelfID)")).isOk());
        QSqlQuery q(orm::Database::connection());
        QVERIFY(q.exec(QStringLiteral("SELECT rootpage, (SELECT page_size FROM pragma_page_size) FROM sqlite_master "
                                      "WHERE name = 'IDX_Book_ShelfID'"))
                && q.next());
        const qint64 page = (q.value(0).toLongLong() - 1) * q.value(1).toLongLong();
        const int pageSize = q.value(1).toInt();
        q.finish();
        const orm::ConnectionSettings settings = orm::Database::settings();
        orm::Database::dropAll();

        QFile file(settings.databaseName);
        QVERIFY(file.open(QIODevice::ReadWrite) && file.seek(page));
        // The entry (key 3, row 7): record header 3, two one-byte integers.
        const int entry = file.read(pageSize).indexOf(QByteArray("\x03\x01\x01\x03\x07", 5));
        QVERIFY(entry > 0 && file.seek(page + entry + 3) && file.write("\x30", 1) == 1);
        file.close();

        orm::Database::setSettings(settings);
        const Status status = orm::fetchChildren(shelves, &Shelf::list_Book);
        QVERIFY(status.isFailed());
        QVERIFY(status.error().text().contains(QStringLiteral("Shelf 48")));
    }

    void eachThreadHasItsOwnConnectionUntilDropped()
    {
        Shelf shelf;
        shelf.Label = QStringLiteral("main");
        QVERIFY(orm::insert(shelf).isOk());
        const QString mine = orm::Database::connection().connectionName();
        QString theirs;
        Shelf read;
        read.ID = 1;
        Status readStatus;
        std::unique_ptr<QThread> thread(QThread::create([&] {
            theirs = orm::Database::connection().connectionName();
            readStatus = orm::fetchById(read);
        }));
        thread->start();
        QVERIFY(thread->wait(TestTimeoutMs()));
        QVERIFY(readStatus.isOk() && read.Label == shelf.Label);
        QVERIFY(!theirs.isEmpty() && theirs != mine);

        // Nothing reopens the dropped file behind the caller's back; the next
        // call after new settings opens a fresh connection on them.
        orm::Database::dropAll();
        QVERIFY(orm::fetchById(read).isFailed());
        QCOMPARE(QSqlDatabase::connectionNames(), QStringList());
        orm::ConnectionSettings settings;
        settings.databaseName = m_dir.filePath(QStringLiteral("other.db"));
        orm::Database::setSettings(settings);
        QCOMPARE(orm::Database::connection().databaseName(), settings.databaseName);
    }
};

QTEST_GUILESS_MAIN(tst_Mapper)
#include "tst_mapper.moc"
