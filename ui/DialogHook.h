#pragma once

#include <QMessageBox>
#include <QString>

#include <functional>

class QWidget;

// The one way product code shows message boxes and file dialogs. Tests install
// answers here so no dialog ever waits for a person.
class DialogHook
{
public:
    enum MessageKind { Information, Warning, Critical, Question };
    enum FileKind { OpenFile, SaveFile };

    struct Message
    {
        MessageKind kind;
        QWidget *parent;
        QString title;
        QString text;
        QMessageBox::StandardButtons buttons;
        QMessageBox::StandardButton defaultButton;
    };

    struct FileRequest
    {
        FileKind kind;
        QWidget *parent;
        QString caption;
        QString dir;
        QString filter;
    };

    using MessageAnswer = std::function<QMessageBox::StandardButton(const Message &)>;
    using FileAnswer = std::function<QString(const FileRequest &)>;

    static QMessageBox::StandardButton information(QWidget *parent, const QString &title, const QString &text,
                                                   QMessageBox::StandardButtons buttons = QMessageBox::Ok,
                                                   QMessageBox::StandardButton defaultButton = QMessageBox::NoButton);
    static QMessageBox::StandardButton warning(QWidget *parent, const QString &title, const QString &text,
                                               QMessageBox::StandardButtons buttons = QMessageBox::Ok,
                                               QMessageBox::StandardButton defaultButton = QMessageBox::NoButton);
    static QMessageBox::StandardButton critical(QWidget *parent, const QString &title, const QString &text,
                                                QMessageBox::StandardButtons buttons = QMessageBox::Ok,
                                                QMessageBox::StandardButton defaultButton = QMessageBox::NoButton);
    static QMessageBox::StandardButton question(QWidget *parent, const QString &title, const QString &text,
                                                QMessageBox::StandardButtons buttons = QMessageBox::Yes | QMessageBox::No,
                                                QMessageBox::StandardButton defaultButton = QMessageBox::NoButton);

    static QString getOpenFileName(QWidget *parent, const QString &caption, const QString &dir = QString(),
                                   const QString &filter = QString());
    static QString getSaveFileName(QWidget *parent, const QString &caption, const QString &dir = QString(),
                                   const QString &filter = QString());

    // An empty function gives the real dialogs back.
    static void setMessageAnswer(MessageAnswer answer);
    static void setFileAnswer(FileAnswer answer);

private:
    static QMessageBox::StandardButton show(const Message &message);
    static QString askFile(const FileRequest &request);
};
