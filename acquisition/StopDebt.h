#pragma once

#include <QObject>
#include <QTimer>

#include <functional>

class Communication;

// A stop owed to one unit, from the moment it is asked until the unit
// accepts it: while it waits for the link, once written, when it goes with
// a lost link, is refused or is left unanswered. Asked on a link that is
// up it is written at once, and it is the first request of every new
// connection. While it is owed and the link is up it is asked anew every
// RetryMs; an ask neither accepted nor refused by then counts as
// unanswered. The first refusal or unanswered ask of a debt is told once.
class StopDebt : public QObject
{
    Q_OBJECT

public:
    static constexpr int RetryMs = 2000;

    // send writes one stop request of `command` on `link`.
    StopDebt(Communication* link, quint32 command, std::function<void()> send, QObject* parent = nullptr);

    void SetRetryMs(int ms);
    bool Owed() const;
    // Owed, and refused or left unanswered since it was asked.
    bool Doubted() const;

    // A stop is owed from now on.
    void Ask();
    // What is owed goes out now, unless an ask is written and awaits its
    // reply.
    void SendNow();
    void LinkUp();
    void LinkDown();

public slots:
    void onReply(bool accepted);
    // The link gave up a request: one of the stop's, while the link is up,
    // went unanswered; while it is down, it went with the link.
    void onNoReply(quint32 command);

signals:
    // Owed or doubted changed.
    void changed();
    // The first refusal or unanswered ask of this debt.
    void doubted();

private:
    void write();
    void doubt();
    void onRetry();

    Communication* link;
    quint32 command;
    std::function<void()> send;
    QTimer retry;
    int retryMs = RetryMs;
    bool owed = false;
    bool doubtedSinceAsked = false;
    // A written ask awaits its reply.
    bool awaiting = false;
    // The link gives up the ask being replaced: that is no silence of the unit.
    bool replacing = false;
};
