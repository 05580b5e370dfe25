#include "ui/DialogHook.h"

#include <QFileDialog>

namespace {

DialogHook::MessageAnswer &messageAnswer()
{
    static DialogHook::MessageAnswer answer;
    return answer;
}

DialogHook::FileAnswer &fileAnswer()
{
    static DialogHook::FileAnswer answer;
    return answer;
}

} // namespace

QMessageBox::StandardButton DialogHook::information(QWidget *parent, const QString &title, const QString &text,
                                                    QMessageBox::StandardButtons buttons,
                                                    QMessageBox::StandardButton defaultButton)
{
    return show({Information, parent, title, text, buttons, defaultButton});
}

QMessageBox::StandardButton DialogHook::warning(QWidget *parent, const QString &title, const QString &text,
                                                QMessageBox::StandardButtons buttons,
                                                QMessageBox::StandardButton defaultButton)
{
    return show({Warning, parent, title, text, buttons, defaultButton});
}

QMessageBox::StandardButton DialogHook::critical(QWidget *parent, const QString &title, const QString &text,
                                                 QMessageBox::StandardButtons buttons,
                                                 QMessageBox::StandardButton defaultButton)
{
    return show({Critical, parent, title, text, buttons, defaultButton});
}

QMessageBox::StandardButton DialogHook::question(QWidget *parent, const QString &title, const QString &text,
                                                 QMessageBox::StandardButtons buttons,
                                                 QMessageBox::StandardButton defaultButton)
{
    return show({Question, parent, title, text, buttons, defaultButton});
}

QString DialogHook::getOpenFileName(QWidget *parent, const QString &caption, const QString &dir,
                                    const QString &filter)
{
    return askFile({OpenFile, parent, caption, dir, filter});
}

QString DialogHook::getSaveFileName(QWidget *parent, const QString &caption, const QString &dir,
                                    const QString &filter)
{
    return askFile({SaveFile, parent, caption, dir, filter});
}

void DialogHook::setMessageAnswer(MessageAnswer answer)
{
    messageAnswer() = std::move(answer);
}

void DialogHook::setFileAnswer(FileAnswer answer)
{
    fileAnswer() = std::move(answer);
}

QMessageBox::StandardButton DialogHook::show(const Message &message)
{
    if (messageAnswer())
        return messageAnswer()(message);

    switch (message.kind) {
    case Information:
        return QMessageBox::information(message.parent, message.title, message.text, message.buttons,
                                        message.defaultButton);
    case Warning:
        return QMessageBox::warning(message.parent, message.title, message.text, message.buttons,
                                    message.defaultButton);
    case Critical:
        return QMessageBox::critical(message.parent, message.title, message.text, message.buttons,
                                     message.defaultButton);
    case Question:
        break;
    }
    return QMessageBox::question(message.parent, message.title, message.text, message.buttons,
                                 message.defaultButton);
}

QString DialogHook::askFile(const FileRequest &request)
{
    if (fileAnswer())
        return fileAnswer()(request);

    if (request.kind == OpenFile)
        return QFileDialog::getOpenFileName(request.parent, request.caption, request.dir, request.filter);
    return QFileDialog::getSaveFileName(request.parent, request.caption, request.dir, request.filter);
}
