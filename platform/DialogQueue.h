#pragma once

#include "platform/DialogHook.h"

#include <QPointer>
#include <QWidget>

#include <deque>
#include <functional>
#include <optional>

// Boxes shown one at a time, in the order they were asked for, whichever
// part of the program asks: a box over another hides the first, and an
// operator answering the top one may not know what the one below said.
// A message asked for while a box is open waits for it and follows;
// a question waits its turn with the event loop running, and returns once
// answered.
class DialogQueue
{
public:
    // Opens a box for the message and calls `closed` with its answer once
    // it is closed, at once or later from the event loop.
    using Opener = std::function<void(const DialogHook::Message&, std::function<void(int)> closed)>;

    explicit DialogQueue(Opener opener);

    // A message like the one open or one waiting (same kind, title and
    // text) says nothing new and is dropped.
    void tell(const DialogHook::Message& message);
    int ask(const DialogHook::Message& message);

private:
    struct Entry
    {
        DialogHook::Message message;
        QPointer<QWidget> parent;
        // Empty for a message.
        std::function<void(int)> answered;
    };

    static bool same(const DialogHook::Message& a, const DialogHook::Message& b);
    void next();

    Opener opener;
    std::deque<Entry> waiting;
    std::optional<DialogHook::Message> open;
    bool opening = false;
};
