#pragma once

#include <QString>
#include <QVariant>

#include <functional>

class QWidget;

// The one way product code shows message boxes, questions, input and file
// dialogs. Tests install answers here so no dialog ever waits for a person.
// Every message the program shows has a single OK button; every question
// has Yes and No.
class DialogHook
{
public:
    enum MessageKind { Information, Warning, Critical, Question };
    enum FileKind { OpenFile, SaveFile };
    enum InputKind { NumberInput, PasswordInput };

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
    using FileAnswer = std::function<QString(const FileRequest&)>;
    // A null QVariant cancels the dialog.
    using InputAnswer = std::function<QVariant(const InputRequest&)>;

    static void information(QWidget* parent, const QString& title, const QString& text);
    static void warning(QWidget* parent, const QString& title, const QString& text);
    static void critical(QWidget* parent, const QString& title, const QString& text);
    // True when the answer is Yes.
    static bool question(QWidget* parent, const QString& title, const QString& text);

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
    static void setFileAnswer(FileAnswer answer);
    static void setInputAnswer(InputAnswer answer);

private:
    static void show(const Message& message);
    static QString askFile(const FileRequest& request);
    static QVariant askInput(const InputRequest& request);
};
