#include "ui/DialogHook.h"

#include <QFileDialog>
#include <QMessageBox>

namespace {

DialogHook::MessageAnswer& messageAnswer()
{
    static DialogHook::MessageAnswer answer;
    return answer;
}

DialogHook::FileAnswer& fileAnswer()
{
    static DialogHook::FileAnswer answer;
    return answer;
}

} // namespace

void DialogHook::information(QWidget* parent, const QString& title, const QString& text)
{
    show({Information, parent, title, text});
}

void DialogHook::warning(QWidget* parent, const QString& title, const QString& text)
{
    show({Warning, parent, title, text});
}

void DialogHook::critical(QWidget* parent, const QString& title, const QString& text)
{
    show({Critical, parent, title, text});
}

QString DialogHook::getOpenFileName(QWidget* parent, const QString& caption, const QString& dir, const QString& filter)
{
    return askFile({OpenFile, parent, caption, dir, filter});
}

QString DialogHook::getSaveFileName(QWidget* parent, const QString& caption, const QString& dir, const QString& filter)
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

void DialogHook::show(const Message& message)
{
    if (messageAnswer()) {
        messageAnswer()(message);
        return;
    }
    static const QMessageBox::Icon icons[] = {QMessageBox::Information, QMessageBox::Warning, QMessageBox::Critical};
    QMessageBox box(icons[message.kind], message.title, message.text, QMessageBox::Ok, message.parent);
    box.exec();
}

QString DialogHook::askFile(const FileRequest& request)
{
    if (fileAnswer())
        return fileAnswer()(request);

    if (request.kind == OpenFile)
        return QFileDialog::getOpenFileName(request.parent, request.caption, request.dir, request.filter);
    return QFileDialog::getSaveFileName(request.parent, request.caption, request.dir, request.filter);
}
