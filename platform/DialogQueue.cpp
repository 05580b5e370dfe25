#include "platform/DialogQueue.h"

#include <QEventLoop>

DialogQueue::DialogQueue(Opener opener)
    : opener(std::move(opener))
{
}

bool DialogQueue::same(const DialogHook::Message& a, const DialogHook::Message& b)
{
    return a.kind == b.kind && a.title == b.title && a.text == b.text;
}

void DialogQueue::tell(const DialogHook::Message& message)
{
    if (open && same(*open, message))
        return;
    for (const Entry& entry : waiting) {
        if (!entry.answered && same(entry.message, message))
            return;
    }
    waiting.push_back({message, message.parent, {}});
    next();
}

int DialogQueue::ask(const DialogHook::Message& message)
{
    std::optional<int> answer;
    QEventLoop loop;
    waiting.push_back({message, message.parent, [&](int given) {
                           answer = given;
                           loop.quit();
                       }});
    next();
    if (!answer)
        loop.exec();
    return *answer;
}

void DialogQueue::next()
{
    while (!open && !waiting.empty()) {
        Entry entry = std::move(waiting.front());
        waiting.pop_front();
        // Its parent may have gone while it waited.
        entry.message.parent = entry.parent.data();
        open = entry.message;
        opening = true;
        opener(entry.message, [this, answered = std::move(entry.answered)](int answer) {
            open.reset();
            if (answered)
                answered(answer);
            // A box answered at once is followed by the loop above; one
            // closed later moves the queue on itself.
            if (!opening)
                next();
        });
        opening = false;
    }
}
