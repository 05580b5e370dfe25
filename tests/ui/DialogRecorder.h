#pragma once

#include "ui/DialogHook.h"

#include <QList>

// Answers every message box with its default OK and keeps what was shown.
class DialogRecorder
{
public:
    DialogRecorder()
    {
        DialogHook::setMessageAnswer([this](const DialogHook::Message &message) {
            messages.append(message);
            return QMessageBox::Ok;
        });
    }

    ~DialogRecorder() { DialogHook::setMessageAnswer({}); }

    DialogRecorder(const DialogRecorder &) = delete;
    DialogRecorder &operator=(const DialogRecorder &) = delete;

    QList<DialogHook::Message> messages;
};
