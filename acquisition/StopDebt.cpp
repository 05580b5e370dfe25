#include "acquisition/StopDebt.h"

#include "devlink/Communication.h"

StopDebt::StopDebt(Communication* link, quint32 command, std::function<void()> send, QObject* parent)
    : QObject(parent)
    , link(link)
    , command(command)
    , send(std::move(send))
{
    retry.setSingleShot(true);
    // A reply that came while the window was held is read first: the
    // retry is judged after what waits on the link.
    connect(&retry, &QTimer::timeout, this, [this] { QTimer::singleShot(0, this, &StopDebt::onRetry); });
}

void StopDebt::SetRetryMs(int ms)
{
    retryMs = ms;
}

bool StopDebt::Owed() const
{
    return owed;
}

bool StopDebt::Doubted() const
{
    return owed && doubtedSinceAsked;
}

void StopDebt::Ask()
{
    const bool wasOwed = owed;
    owed = true;
    if (link->IsConnected())
        write();
    if (!wasOwed)
        emit changed();
}

void StopDebt::SendNow()
{
    if (owed && !awaiting && link->IsConnected())
        write();
}

void StopDebt::LinkUp()
{
    if (owed)
        write();
}

void StopDebt::LinkDown()
{
    retry.stop();
    awaiting = false;
}

void StopDebt::onReply(bool accepted)
{
    if (!owed)
        return;
    awaiting = false;
    if (!accepted) {
        // Asked again when the retry falls due: a unit refusing at once
        // would otherwise be asked as fast as it answers.
        doubt();
        return;
    }
    owed = false;
    doubtedSinceAsked = false;
    retry.stop();
    emit changed();
}

void StopDebt::onNoReply(quint32 failed)
{
    if (failed != command || replacing || !owed)
        return;
    awaiting = false;
    if (link->IsConnected())
        doubt();
}

// One ask at a time: the one before is given up, and a late reply to it
// answers this one, as any stop reply may.
void StopDebt::write()
{
    replacing = true;
    link->GiveUpRequests(command);
    replacing = false;
    send();
    awaiting = true;
    retry.start(retryMs);
}

void StopDebt::doubt()
{
    if (doubtedSinceAsked)
        return;
    doubtedSinceAsked = true;
    emit changed();
    emit doubted();
}

void StopDebt::onRetry()
{
    if (!owed || !link->IsConnected())
        return;
    if (awaiting)
        doubt();
    write();
}
