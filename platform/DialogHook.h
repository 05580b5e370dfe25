#pragma once

#include <QString>

#include <functional>

class QWidget;

// The one way product code shows message boxes and file dialogs. Tests install
// answers here so no dialog ever waits for a person. Every message the program
// shows has a single OK button.
class DialogHook
{
public:
    enum MessageKind { Information, Warning, Critical };
    enum FileKind { OpenFile, SaveFile };

    struct Message
    {
        MessageKind kind;
        QWidget* parent;
        QString title;
        QString text;
    };

    struct FileRequest
    {
        FileKind kind;
        QWidget* parent;
        QString caption;
        QString dir;
        QString filter;
    };

    using MessageAnswer = std::function<void(const Message&)>;
    using FileAnswer = std::function<QString(const FileRequest&)>;

    static void information(QWidget* parent, const QString& title, const QString& text);
    static void warning(QWidget* parent, const QString& title, const QString& text);
    static void critical(QWidget* parent, const QString& title, const QString& text);

    static QString getOpenFileName(QWidget* parent, const QString& caption, const QString& dir = QString(),
                                   const QString& filter = QString());
    static QString getSaveFileName(QWidget* parent, const QString& caption, const QString& dir = QString(),
                                   const QString& filter = QString());

    // An empty function gives the real dialogs back.
    static void setMessageAnswer(MessageAnswer answer);
    static void setFileAnswer(FileAnswer answer);

private:
    static void show(const Message& message);
    static QString askFile(const FileRequest& request);
};
