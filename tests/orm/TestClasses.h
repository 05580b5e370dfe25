#pragma once

#include "orm/ClassDef.h"

#include <QByteArray>
#include <QString>
#include <QVector>

#include <memory>

// Small persistent classes with one member of every mapped kind.
class Shelf;
class Book;
class Note;

class Shelf
{
public:
    virtual ~Shelf() = default;
    int ID = 0;
    QString Label;
    double Width = 1.5;
    QVector<std::shared_ptr<Book>> list_Book;

    static void ormRegister(orm::ClassDef<Shelf>& def)
    {
        def.setName(QStringLiteral("Shelf"));
        def.id(&Shelf::ID, QStringLiteral("ID"));
        def.data(&Shelf::Label, QStringLiteral("Label"));
        def.data(&Shelf::Width, QStringLiteral("Width"));
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
    QVector<std::shared_ptr<Note>> list_Note;

    static void ormRegister(orm::ClassDef<Book>& def)
    {
        def.setName(QStringLiteral("Book"));
        def.id(&Book::ID, QStringLiteral("ID")).properties.insert(QStringLiteral("INDEX"), 1);
        def.data(&Book::Title, QStringLiteral("Title"));
        def.data(&Book::Pages, QStringLiteral("Pages"));
        def.data(&Book::Stamp, QStringLiteral("Stamp"));
        def.data(&Book::Text, QStringLiteral("Text"));
        def.data(&Book::Blob, QStringLiteral("Blob"));
        def.manyToOne(&Book::ShelfID, QStringLiteral("ShelfID"));
        def.oneToMany(&Book::list_Note, QStringLiteral("list_Note"), QStringLiteral("BookID"));
    }
};

class Note
{
public:
    virtual ~Note() = default;
    int ID = 0;
    int Used = 0;
    QString Text;
    std::shared_ptr<Book> BookID;

    static void ormRegister(orm::ClassDef<Note>& def)
    {
        def.setName(QStringLiteral("Note"));
        def.id(&Note::ID, QStringLiteral("ID"));
        def.data(&Note::Used, QStringLiteral("Used"));
        def.data(&Note::Text, QStringLiteral("Text"));
        def.manyToOne(&Note::BookID, QStringLiteral("BookID"));
    }
};
