#include "platform/DialogHook.h"

#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>

namespace {

template <class Answer>
Answer& installed()
{
    static Answer answer;
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

bool DialogHook::question(QWidget* parent, const QString& title, const QString& text)
{
    const Message message{Question, parent, title, text};
    if (const QuestionAnswer& answer = installed<QuestionAnswer>())
        return answer(message);
    return QMessageBox::question(parent, title, text, QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
}

QString DialogHook::getOpenFileName(QWidget* parent, const QString& caption, const QString& dir, const QString& filter)
{
    return askFile({OpenFile, parent, caption, dir, filter});
}

QString DialogHook::getSaveFileName(QWidget* parent, const QString& caption, const QString& dir, const QString& filter)
{
    return askFile({SaveFile, parent, caption, dir, filter});
}

double DialogHook::getDouble(QWidget* parent, const QString& title, const QString& label, double value, double minimum,
                             double maximum, int decimals, bool* ok)
{
    const QVariant answer = askInput({NumberInput, parent, title, label, value, minimum, maximum, decimals});
    if (ok)
        *ok = !answer.isNull();
    return answer.isNull() ? value : answer.toDouble();
}

QString DialogHook::getPassword(QWidget* parent, const QString& title, const QString& label)
{
    return askInput({PasswordInput, parent, title, label, QString()}).toString();
}

void DialogHook::setMessageAnswer(MessageAnswer answer)
{
    installed<MessageAnswer>() = std::move(answer);
}

void DialogHook::setQuestionAnswer(QuestionAnswer answer)
{
    installed<QuestionAnswer>() = std::move(answer);
}

void DialogHook::setFileAnswer(FileAnswer answer)
{
    installed<FileAnswer>() = std::move(answer);
}

void DialogHook::setInputAnswer(InputAnswer answer)
{
    installed<InputAnswer>() = std::move(answer);
}

void DialogHook::show(const Message& message)
{
    if (const MessageAnswer& answer = installed<MessageAnswer>()) {
        answer(message);
        return;
    }
    static const QMessageBox::Icon icons[] = {QMessageBox::Information, QMessageBox::Warning, QMessageBox::Critical,
                                              QMessageBox::Question};
    QMessageBox box(icons[message.kind], message.title, message.text, QMessageBox::Ok, message.parent);
    box.exec();
}

QString DialogHook::askFile(const FileRequest& request)
{
    if (const FileAnswer& answer = installed<FileAnswer>())
        return answer(request);
    if (request.kind == OpenFile)
        return QFileDialog::getOpenFileName(request.parent, request.caption, request.dir, request.filter);
    return QFileDialog::getSaveFileName(request.parent, request.caption, request.dir, request.filter);
}

QVariant DialogHook::askInput(const InputRequest& request)
{
    if (const InputAnswer& answer = installed<InputAnswer>())
        return answer(request);
    bool ok = false;
    if (request.kind == NumberInput) {
        const double value =
            QInputDialog::getDouble(request.parent, request.title, request.label, request.value.toDouble(),
                                    request.minimum, request.maximum, request.decimals, &ok);
        return ok ? QVariant(value) : QVariant();
    }
    const QString text = QInputDialog::getText(request.parent, request.title, request.label, QLineEdit::Password,
                                               QString(), &ok, Qt::WindowCloseButtonHint, Qt::ImhDigitsOnly);
    return ok ? QVariant(text) : QVariant();
}
