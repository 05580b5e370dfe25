#pragma once

#include <QString>
#include <QStringList>
#include <QVariant>

#include <functional>

class DialogQueue;
class QWidget;

// The one way product code shows message boxes, questions, input and file
// dialogs. Tests install answers here so no dialog ever waits for a person.
// Every message the program shows has a single OK button; every question
// has Yes and No, every choice the buttons it names.
//
// Message boxes, questions and choices are shown one at a time, in the
// order asked for, whichever part asks: a message asked for while a box is
// open returns at once and is shown once that box is closed; a question or
// choice waits for its turn with the event loop running. An installed
// answer holds its box open while it runs: one that runs the event loop
// must not wait for a question asked meanwhile, which waits for it.
class DialogHook
{
public:
    enum MessageKind { Information, Warning, Critical, Question, Choice };
    enum FileKind { OpenFile, SaveFile };
    enum InputKind { NumberInput, PasswordInput };

    struct Message
    {
        MessageKind kind;
        QWidget* parent;
        QString title;
        QString text;
        // A choice's buttons, in order.
        QStringList buttons = {};
    };

    struct FileRequest
    {
        FileKind kind;
        QWidget* parent;
        QString caption;
        QString dir;
        QString filter;
    };

    struct InputRequest
    {
        InputKind kind;
        QWidget* parent;
        QString title;
        QString label;
        QVariant value; // the initial number or text
        double minimum = 0.0;
        double maximum = 0.0;
        int decimals = 0;
    };

    using MessageAnswer = std::function<void(const Message&)>;
    using QuestionAnswer = std::function<bool(const Message&)>;
    // The index of the chosen button.
    using ChoiceAnswer = std::function<int(const Message&)>;
    using FileAnswer = std::function<QString(const FileRequest&)>;
    // A null QVariant cancels the dialog.
    using InputAnswer = std::function<QVariant(const InputRequest&)>;

    static void information(QWidget* parent, const QString& title, const QString& text);
    static void warning(QWidget* parent, const QString& title, const QString& text);
    static void critical(QWidget* parent, const QString& title, const QString& text);
    // True when the answer is Yes.
    static bool question(QWidget* parent, const QString& title, const QString& text);
    // The index of the button chosen; the last one when the box is closed
    // without a choice, so it should be the one that changes nothing.
    static int choose(QWidget* parent, const QString& title, const QString& text, const QStringList& buttons);

    static QString getOpenFileName(QWidget* parent, const QString& caption, const QString& dir = QString(),
                                   const QString& filter = QString());
    static QString getSaveFileName(QWidget* parent, const QString& caption, const QString& dir = QString(),
                                   const QString& filter = QString());

    // A number in [minimum, maximum] with `decimals` places; *ok tells
    // whether it was accepted.
    static double getDouble(QWidget* parent, const QString& title, const QString& label, double value, double minimum,
                            double maximum, int decimals, bool* ok);
    // A hidden text of digits, in a dialog with only a close button; empty
    // when cancelled.
    static QString getPassword(QWidget* parent, const QString& title, const QString& label);

    // An empty function gives the real dialogs back.
    static void setMessageAnswer(MessageAnswer answer);
    static void setQuestionAnswer(QuestionAnswer answer);
    static void setChoiceAnswer(ChoiceAnswer answer);
    static void setFileAnswer(FileAnswer answer);
    static void setInputAnswer(InputAnswer answer);

private:
    static DialogQueue& queue();
    static void open(const Message& message, std::function<void(int)> closed);
    static QString askFile(const FileRequest& request);
    static QVariant askInput(const InputRequest& request);
};
