#include "platform/DialogHook.h"

#include "platform/DialogQueue.h"

#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <QPushButton>

#include <memory>
#include <utility>

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
    queue().tell({Information, parent, title, text});
}

void DialogHook::warning(QWidget* parent, const QString& title, const QString& text)
{
    queue().tell({Warning, parent, title, text});
}

void DialogHook::critical(QWidget* parent, const QString& title, const QString& text)
{
    queue().tell({Critical, parent, title, text});
}

bool DialogHook::question(QWidget* parent, const QString& title, const QString& text)
{
    return queue().ask({Question, parent, title, text}) != 0;
}

int DialogHook::choose(QWidget* parent, const QString& title, const QString& text, const QStringList& buttons)
{
    return queue().ask({Choice, parent, title, text, buttons});
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

void DialogHook::setChoiceAnswer(ChoiceAnswer answer)
{
    installed<ChoiceAnswer>() = std::move(answer);
}

void DialogHook::setFileAnswer(FileAnswer answer)
{
    installed<FileAnswer>() = std::move(answer);
}

void DialogHook::setInputAnswer(InputAnswer answer)
{
    installed<InputAnswer>() = std::move(answer);
}

DialogQueue& DialogHook::queue()
{
    static DialogQueue boxes([](const Message& message, std::function<void(int)> closed) { open(message, closed); });
    return boxes;
}

// A question answers 1 for Yes, a message 0.
void DialogHook::open(const Message& message, std::function<void(int)> closed)
{
    if (message.kind == Question && installed<QuestionAnswer>()) {
        closed(installed<QuestionAnswer>()(message) ? 1 : 0);
        return;
    }
    if (message.kind == Choice && installed<ChoiceAnswer>()) {
        closed(installed<ChoiceAnswer>()(message));
        return;
    }
    if (message.kind != Question && message.kind != Choice && installed<MessageAnswer>()) {
        installed<MessageAnswer>()(message);
        closed(0);
        return;
    }
    static const QMessageBox::Icon icons[] = {QMessageBox::Information, QMessageBox::Warning, QMessageBox::Critical,
                                              QMessageBox::Question, QMessageBox::Question};
    auto* box =
        new QMessageBox(icons[message.kind], message.title, message.text, QMessageBox::NoButton, message.parent);
    QList<QAbstractButton*> buttons;
    if (message.kind == Question) {
        box->setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        buttons = {box->button(QMessageBox::No), box->button(QMessageBox::Yes)};
    } else if (message.kind == Choice) {
        for (const QString& text : message.buttons)
            buttons.append(box->addButton(text, QMessageBox::ActionRole));
        box->setEscapeButton(buttons.last());
    } else {
        box->setStandardButtons(QMessageBox::Ok);
    }
    // Modal as a box of its own loop would be, without holding its caller.
    box->setWindowModality(Qt::ApplicationModal);
    // A box that goes with its parent answers as though closed.
    auto answered = std::make_shared<bool>(false);
    const auto answer = [answered, closed](int given) {
        if (!std::exchange(*answered, true))
            closed(given);
    };
    const int escape = message.kind == Choice ? int(buttons.size()) - 1 : 0;
    QObject::connect(box, &QDialog::finished, [box, buttons, escape, answer] {
        const int chosen = int(buttons.indexOf(box->clickedButton()));
        box->deleteLater();
        answer(chosen < 0 ? escape : chosen);
    });
    QObject::connect(box, &QObject::destroyed, [escape, answer] { answer(escape); });
    box->show();
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
