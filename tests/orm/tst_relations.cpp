#include "TestClasses.h"

#include "orm/Dao.h"
#include "orm/Database.h"

#include <QTemporaryDir>
#include <QtTest>

// A tree of shelves, books and notes loaded through the one-to-many
// relations, as a project loads its lines, points and samples.
class tst_Relations : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void loadsTwoLevelsInOrder();
    void whereClauseSelectsChildren();

private:
    void addBook(int shelf, double title, int pages);
    void addNote(int book, int used, const QString& text);

    QTemporaryDir m_dir;
};

void tst_Relations::init()
{
    orm::ConnectionSettings settings;
    settings.databaseName = m_dir.filePath(QStringLiteral("tree.db"));
    QFile::remove(settings.databaseName);
    orm::Database::setSettings(settings);
    QVERIFY(orm::createTable<Shelf>().isOk());
    QVERIFY(orm::createTable<Book>().isOk());
    QVERIFY(orm::createTable<Note>().isOk());

    for (int i = 0; i < 3; ++i) {
        Shelf shelf;
        QVERIFY(orm::insert(shelf).isOk());
    }
    addBook(1, 30.0, 1); // book 1
    addBook(2, 10.0, 2); // book 2
    addBook(1, 20.0, 3); // book 3
    addBook(1, 10.0, 4); // book 4
    addNote(3, 1, QStringLiteral("a"));
    addNote(1, 0, QStringLiteral("b"));
    addNote(3, 1, QStringLiteral("c"));
}

void tst_Relations::cleanup()
{
    orm::Database::dropAll();
}

void tst_Relations::addBook(int shelf, double title, int pages)
{
    Book book;
    book.ShelfID = std::make_shared<Shelf>();
    book.ShelfID->ID = shelf;
    book.Title = title;
    book.Pages = pages;
    book.Blob = QByteArray(16, 'b');
    QVERIFY(orm::insert(book).isOk());
}

void tst_Relations::addNote(int book, int used, const QString& text)
{
    Note note;
    note.BookID = std::make_shared<Book>();
    note.BookID->ID = book;
    note.Used = used;
    note.Text = text;
    QVERIFY(orm::insert(note).isOk());
}

void tst_Relations::loadsTwoLevelsInOrder()
{
    // Relations own no column; the schema update walks columns only.
    const orm::ClassInfo& book = orm::ClassDef<Book>::instance();
    QCOMPARE(book.columns().last().name, QStringLiteral("ShelfID"));
    QCOMPARE(book.columns().last().sqlType(), QStringLiteral("INTEGER"));
    QCOMPARE(book.columns().at(1).sqlType(), QStringLiteral("REAL"));
    QCOMPARE(book.columns().first().properties.keys(), QStringList{"INDEX"});
    QCOMPARE(book.relations().first().foreignKey, QStringLiteral("BookID"));
    QCOMPARE(book.relations().first().childTable, QStringLiteral("Note"));

    QVector<std::shared_ptr<Shelf>> shelves;
    QVERIFY(orm::fetchByQuery(orm::Query{QStringLiteral("ORDER BY ID"), {}}, shelves).isOk());
    QCOMPARE(shelves.size(), 3);

    QVector<std::shared_ptr<Book>> books;
    QVERIFY(orm::fetchChildren(shelves, &Shelf::list_Book, {}, {QStringLiteral("Title")}, &books)
                .isOk());
    QVector<int> shelf1;
    for (const auto& book : shelves.at(0)->list_Book)
        shelf1.append(book->ID);
    QCOMPARE(shelf1, (QVector<int>{4, 3, 1}));
    QCOMPARE(shelves.at(1)->list_Book.size(), 1);
    QVERIFY(shelves.at(2)->list_Book.isEmpty());
    QCOMPARE(books.size(), 4);
    QCOMPARE(books.first()->Blob, QByteArray(16, 'b'));
    // Children name their parent by a separate object holding its ID only,
    // so no ownership cycle keeps the tree alive.
    QCOMPARE(books.first()->ShelfID->ID, 1);
    QVERIFY(books.first()->ShelfID != shelves.at(0));
    QVERIFY(books.first()->ShelfID == books.at(1)->ShelfID);

    QVERIFY(orm::fetchChildren(books, &Book::list_Note, {QStringLiteral("Used")}).isOk());
    const auto& notes = shelves.at(0)->list_Book.at(1)->list_Note; // book 3
    QCOMPARE(notes.size(), 2);
    QCOMPARE(notes.at(0)->ID, 1);
    QCOMPARE(notes.at(1)->ID, 3);
    QCOMPARE(notes.at(0)->Used, 1);
    QVERIFY(notes.at(0)->Text.isEmpty()); // not in the column list
    QCOMPARE(notes.at(0)->BookID->ID, 3);
    QCOMPARE(shelves.at(0)->list_Book.at(2)->list_Note.size(), 1); // book 1

    // A second load replaces the children instead of appending.
    QVERIFY(orm::fetchChildren(shelves, &Shelf::list_Book).isOk());
    QCOMPARE(shelves.at(0)->list_Book.size(), 3);
    QCOMPARE(shelves.at(0)->list_Book.first()->ID, 1);
}

void tst_Relations::whereClauseSelectsChildren()
{
    QVector<std::shared_ptr<Note>> notes;
    QVERIFY(orm::fetchByQuery(orm::Query{QStringLiteral("WHERE Note.BookID = ? ORDER BY ID"), {3}},
                              notes, {QStringLiteral("Used")})
                .isOk());
    QCOMPARE(notes.size(), 2);
    QCOMPARE(notes.at(1)->ID, 3);
    QVERIFY(!notes.at(1)->BookID);

    QVERIFY(orm::fetchByQuery(orm::Query{QStringLiteral("WHERE Note.BookID = ?"), {99}}, notes)
                .isOk());
    QVERIFY(notes.isEmpty());
    QVERIFY(orm::fetchByQuery(orm::Query{QStringLiteral("WHERE Nowhere = ?"), {1}}, notes)
                .isFailed());
}

QTEST_GUILESS_MAIN(tst_Relations)
#include "tst_relations.moc"
