#include "acquisition/ZOLVA_Collector.h"

#include "acquisition/HSignalTransition.h"
#include "acquisition/StatusTexts.h"
#include "acquisition/StopDebt.h"
#include "devlink/ILibRecv_VRX2208.h"
#include "devlink/RecvPayloads.h"
#include "devlink/SendPayloads.h"
#include "devlink/iLibSend.h"
#include "platform/WifiQuality.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QFutureWatcher>
#include <QHostAddress>
#include <QSignalTransition>
#include <QState>
#include <QThreadPool>
#include <QtConcurrent>

#include <algorithm>
#include <climits>
#include <cmath>
#include <utility>

namespace {

// Towed warnings carry their own time: start-up installs no log handler
// that would add it.
QString logTime(const QDateTime& time)
{
    return time.toString(QStringLiteral("yyyyMMdd hh:mm:ss.zzz"));
}

int clampToInt(double v)
{
    if (std::isnan(v))
        return 0;
    return int(std::clamp(std::trunc(v), double(INT_MIN), double(INT_MAX)));
}

}

using namespace CollectorState;

ZOLVA_Collector::ZOLVA_Collector(QObject* parent)
    : HCollector(parent)
    , recvLink(new ILibRecv_VRX2208(this))
    , sendLink(new iLibSend(this))
    , StatusConnect(StatusTexts::disconnected())
    , linkStatus(StatusConnect)
    , sendStop(new StopDebt(
          sendLink, SendCommand::Stop, [this] { sendLink->TEM_Stop(); }, this))
    , recvStop(new StopDebt(
          recvLink, RecvCommand::Stop, [this] { recvLink->RecvStop(); }, this))
    , towedBacklog([this](const st_TEMSendData& send, const st_RecvData_VRX2208& recv) { storeTowed(send, recv); },
                   this)
    , wifiQuery(&ZOLVA_Collector::queryWifiSignalQuality)
{
    qRegisterMetaType<ZOLVA_Data>("ZOLVA_Data");

    connect(recvLink, &Communication::ComConnected, this, [this] { onLinkUp(false); });
    connect(recvLink, &Communication::ComClosed, this, [this] { onLinkDown(false); });
    connect(sendLink, &Communication::ComConnected, this, [this] { onLinkUp(true); });
    connect(sendLink, &Communication::ComClosed, this, [this] { onLinkDown(true); });
    connect(recvLink, &ILibRecv_VRX2208::onRecvStop, recvStop, &StopDebt::onReply);
    connect(sendLink, &iLibSend::TEM_Stoped, sendStop, &StopDebt::onReply);
    connect(recvLink, &ILibRecv_VRX2208::onRecvNoReply, recvStop, &StopDebt::onNoReply);
    connect(sendLink, &iLibSend::TEM_NoReply, sendStop, &StopDebt::onNoReply);
    for (StopDebt* debt : {sendStop, recvStop}) {
        const bool transmitter = debt == sendStop;
        connect(debt, &StopDebt::changed, this, &ZOLVA_Collector::onStopsChanged);
        connect(debt, &StopDebt::doubted, this, [this, transmitter] {
            qWarning("%s took no stop; it may still be recording", transmitter ? "Transmitter" : "Receiver");
            emit stopDoubted(UnconfirmedStopWarning(transmitter, !transmitter));
        });
    }
    stopWait.setSingleShot(true);
    connect(&stopWait, &QTimer::timeout, this, &ZOLVA_Collector::onStopWaitOver);
    lossTelling.setSingleShot(true);
    connect(&lossTelling, &QTimer::timeout, this, &ZOLVA_Collector::tellLinkLoss);

    // The replies pace the sequence; one that refuses, or none at all,
    // ends the attempt in the step that awaits it.
    connect(recvLink, &ILibRecv_VRX2208::onRecvAutoChannel, this, &ZOLVA_Collector::onAutoChannelReply);
    connect(recvLink, &ILibRecv_VRX2208::onRecvConfiged, this, &ZOLVA_Collector::onRecvConfigReply);
    connect(sendLink, &iLibSend::TEM_Configed, this, &ZOLVA_Collector::onSendConfigReply);
    connect(sendLink, &iLibSend::TEM_Strated, this, &ZOLVA_Collector::onStartReply);
    connect(recvLink, &ILibRecv_VRX2208::onRecvNoReply, this, &ZOLVA_Collector::onRecvNoReply);
    connect(sendLink, &iLibSend::TEM_NoReply, this, &ZOLVA_Collector::onSendNoReply);

    connect(sendLink, &iLibSend::TEM_NewSendData, this, &ZOLVA_Collector::onDeviceData_Send);
    connect(sendLink, &iLibSend::TEM_SendMonitor, this, &ZOLVA_Collector::onDeviceData_Monitor);
    connect(recvLink, &ILibRecv_VRX2208::onRecvData, this, &ZOLVA_Collector::onDeviceData_Recv);
    connect(&pairing, &PeriodPairing::paired, this, &ZOLVA_Collector::onTowedPair);
    connect(&pairing, &PeriodPairing::dropped, this, &ZOLVA_Collector::onTowedDrop);
    connect(&pairing, &PeriodPairing::silenceChanged, this, &ZOLVA_Collector::onTowedSilence);

    connect(&progressTimer, &QTimer::timeout, this, &ZOLVA_Collector::ProgressAdd);

    buildMachine();
}

ZOLVA_Collector::~ZOLVA_Collector()
{
    // The links close their sockets as they go; that is no link loss.
    for (Communication* link : {static_cast<Communication*>(recvLink), static_cast<Communication*>(sendLink)}) {
        link->disconnect(this);
        link->disconnect(sendStop);
        link->disconnect(recvStop);
    }
}

void ZOLVA_Collector::buildMachine()
{
    const auto on = [this](auto signal) { return new QSignalTransition(this, signal); };

    for (const char* name : {DeviceWaitSet, DeviceInit, DeviceConnecting, DeviceOnline})
        addState(QString::fromLatin1(name));
    bindEntry(DeviceWaitSet, "OnEntry_DeviceWait()");
    bindEntry(DeviceInit, "OnEntry_DeviceInit()");
    bindEntry(DeviceConnecting, "OnEntry_DeviceConnecting()");
    bindExit(DeviceConnecting, "OnExit_DeviceConnecting()");
    bindEntry(DeviceOnline, "OnEntry_DeviceOnline()");

    transition(DeviceWaitSet, DeviceInit, on(&ZOLVA_Collector::onBtnConnect));
    transition(DeviceInit, DeviceWaitSet, on(&ZOLVA_Collector::onBtnDisconn));
    transition(DeviceInit, DeviceConnecting, on(&ZOLVA_Collector::tryConnect));
    transition(DeviceConnecting, DeviceWaitSet, on(&ZOLVA_Collector::onBtnDisconn));
    transition(DeviceConnecting, DeviceInit, on(&ZOLVA_Collector::deviceDisconnect));
    transition(DeviceConnecting, DeviceOnline, on(&ZOLVA_Collector::deviceConnected));
    transition(DeviceOnline, DeviceWaitSet, on(&ZOLVA_Collector::onBtnDisconn));
    transition(DeviceOnline, DeviceInit, on(&ZOLVA_Collector::deviceDisconnect));
    addTimeoutTransition(QString::fromLatin1(DeviceConnecting), QString::fromLatin1(DeviceInit), ConnectTimeoutMs);

    if (!WorkInit(QString::fromLatin1(DeviceWaitSet)))
        qFatal("Collector machine: no initial state %s", DeviceWaitSet);

    child(SampleWaitParam, DeviceOnline, true);
    for (const char* name : {SampleSetParam, SampleDataUpload, SampleWaitSave, SampleDataSave})
        child(name, DeviceOnline, false);
    bindEntry(SampleWaitParam, "OnEntry_SampleWaitParam()");
    bindEntry(SampleSetParam, "OnEntry_SampleSetParam()");
    bindEntry(SampleDataUpload, "OnEntry_SampleDataUpload()");
    bindEntry(SampleWaitSave, "OnEntry_SampleWaitSave()");
    bindEntry(SampleDataSave, "OnEntry_SampleDataSave()");
    bindExit(SampleDataSave, "OnExit_SampleDataSave()");

    child(SampleAwaitStop, DeviceOnline, false);
    bindEntry(SampleAwaitStop, "OnEntry_SampleAwaitStop()");

    // Parameters that would make the units misbehave (they can come from a
    // project file) never reach them: such a start stays here and is told.
    transition(SampleWaitParam, SampleAwaitStop,
               new HSignalTransition(this, &ZOLVA_Collector::onBtnSampleStart, [this] { return startParamsValid(); }));
    auto* refusedStart =
        new HSignalTransition(this, &ZOLVA_Collector::onBtnSampleStart, [this] { return !startParamsValid(); });
    state(QString::fromLatin1(SampleWaitParam))->addTransition(refusedStart);
    connect(refusedStart, &QAbstractTransition::triggered, this, &ZOLVA_Collector::refuseStart);
    transition(SampleAwaitStop, SampleSetParam, on(&ZOLVA_Collector::stopsTaken));
    transition(SampleAwaitStop, SampleWaitParam, on(&ZOLVA_Collector::cmdSampleStop));
    transition(SampleSetParam, SampleWaitParam, on(&ZOLVA_Collector::cmdSampleStop));
    transition(SampleSetParam, SampleDataUpload, on(&ZOLVA_Collector::deviceStarted));
    transition(SampleDataUpload, SampleWaitParam, on(&ZOLVA_Collector::cmdSampleStop));
    guard(SampleDataUpload, SampleSetParam, "HSample_UploadToSet(QEvent*)");
    guard(SampleDataUpload, SampleWaitSave, "HSample_UploadToWaitsave(QEvent*)");
    transition(SampleWaitSave, SampleWaitParam, on(&ZOLVA_Collector::onBtnSaveCancel));
    transition(SampleWaitSave, SampleDataSave, on(&ZOLVA_Collector::onBtnSaveOK));
    transition(SampleDataSave, SampleWaitParam, on(&ZOLVA_Collector::cmdSaveOver));
    transition(SampleDataSave, SampleWaitSave, on(&ZOLVA_Collector::cmdSaveFailed));

    // A finished acquisition awaiting the save decision outlives a lost link:
    // these targetless transitions keep the machine where it is, and the
    // reconnect follows the decision (OnEntry_SampleWaitParam).
    for (const char* name : {SampleWaitSave, SampleDataSave}) {
        QSignalTransition* keep = on(&ZOLVA_Collector::deviceDisconnect);
        state(QString::fromLatin1(name))->addTransition(keep);
        connect(keep, &QAbstractTransition::triggered, this,
                [this] { setStatus(StatusTexts::linkUpdate(sendLinked, recvLinked)); });
    }

    child(SetParam_ConfigChannel, SampleSetParam, true);
    for (const char* name : {SetParam_ConfigRecv, SetParam_ConfigSend, SetParam_Start})
        child(name, SampleSetParam, false);
    bindEntry(SetParam_ConfigChannel, "OnEntry_SetParam_ConfigChannel()");
    bindEntry(SetParam_ConfigRecv, "OnEntry_SetParam_ConfigRecv()");
    bindEntry(SetParam_ConfigSend, "OnEntry_SetParam_ConfigSend()");
    bindEntry(SetParam_Start, "OnEntry_SetParam_Start()");

    transition(SetParam_ConfigChannel, SetParam_ConfigRecv, on(&ZOLVA_Collector::cmdConfigRecv));
    transition(SetParam_ConfigRecv, SetParam_ConfigSend, on(&ZOLVA_Collector::cmdConfigSend));
    transition(SetParam_ConfigSend, SetParam_Start, on(&ZOLVA_Collector::deviceConfiged));
}

void ZOLVA_Collector::bindEntry(const char* name, const char* signature)
{
    if (!setStateEntryMethod(QString::fromLatin1(name), this, QString::fromLatin1(signature)))
        qFatal("Collector machine: cannot bind %s on entering %s", signature, name);
}

void ZOLVA_Collector::bindExit(const char* name, const char* signature)
{
    if (!setStateExitMethod(QString::fromLatin1(name), this, QString::fromLatin1(signature)))
        qFatal("Collector machine: cannot bind %s on leaving %s", signature, name);
}

void ZOLVA_Collector::child(const char* name, const char* parent, bool initial)
{
    addChildState(QString::fromLatin1(name), QString::fromLatin1(parent), initial);
    if (!state(QString::fromLatin1(name)))
        qFatal("Collector machine: cannot add %s under %s", name, parent);
}

void ZOLVA_Collector::transition(const char* source, const char* target, QAbstractTransition* t)
{
    if (!addTransition(QString::fromLatin1(source), QString::fromLatin1(target), t))
        qFatal("Collector machine: cannot add the transition %s:%s", source, target);
}

void ZOLVA_Collector::guard(const char* source, const char* target, const char* signature)
{
    // A guard whose signature does not resolve would never fire.
    if (metaObject()->indexOfMethod(signature) < 0
        || !addMethodTransition(QString::fromLatin1(source), QString::fromLatin1(target), this,
                                QString::fromLatin1(signature)))
        qFatal("Collector machine: cannot guard %s:%s with %s", source, target, signature);
}

void ZOLVA_Collector::SetWifiQuery(std::function<int()> query)
{
    wifiQuery = std::move(query);
}

void ZOLVA_Collector::Start()
{
    WorkStart();
}

void ZOLVA_Collector::onTestEvent()
{
    onStateEvent(new QEvent(RecordDoneEvent), QStateMachine::NormalPriority);
}

void ZOLVA_Collector::onBtnSampleStop()
{
    finishTowing();
    // A reply still due to the stopped attempt must not answer a request of
    // the next one, nor a request of this one be resent into it.
    dropRequests();
    recvStop->Ask();
    sendStop->Ask();
    progressTimer.stop();
    emit cmdSampleStop();
}

void ZOLVA_Collector::onLoad_Param(double SendFs, int SendPeriod, int ContinueMode)
{
    ParamFs = SendFs;
    emit onParamFsChanged();
    ParamPeriod = SendPeriod;
    emit onParamPeriodChanged();
    this->ContinueMode = ContinueMode != 0 ? Continue : Single;
    emit onContinueModeChanged();
}

// The status combo box writes every value it is shown back: notified on a
// change only, it is shown each status once.
void ZOLVA_Collector::SetSampleStatus(ZOLVASampleStatus v)
{
    if (SampleStatus == v)
        return;
    SampleStatus = v;
    emit onSampleStatusChanged();
}

void ZOLVA_Collector::ProgressAdd()
{
    qint64 v = qint64(Progress) + 200;
    const qint64 limit = (qint64(loopIndex) + 1) * recordMs;
    if (limit <= v) {
        progressTimer.stop();
        v = limit - 1;
    }
    setIntProperty("Progress", v);
}

void ZOLVA_Collector::SetParamFs(double v)
{
    ParamFs = v;
    emit onParamFsChanged();
}

void ZOLVA_Collector::SetParamPeriod(int v)
{
    ParamPeriod = v;
    emit onParamPeriodChanged();
}

void ZOLVA_Collector::SetParamRepeat(int v)
{
    ParamRepeat = v;
    emit onParamRepeatChanged();
}

void ZOLVA_Collector::onLinkUp(bool transmitter)
{
    // An attempt started before the operator disconnected is ended as soon
    // as it completes: the units stay disconnected until connect is pressed.
    if (isActive(QString::fromLatin1(DeviceWaitSet))) {
        if (transmitter)
            sendLink->Disconnect();
        else
            recvLink->Disconnect();
        return;
    }
    (transmitter ? sendLinked : recvLinked) = true;
    // A unit still recording for an acquisition that ended hears its stop
    // before anything else.
    (transmitter ? sendStop : recvStop)->LinkUp();
    onDeviceConnected();
}

void ZOLVA_Collector::onLinkDown(bool transmitter)
{
    (transmitter ? sendLinked : recvLinked) = false;
    (transmitter ? sendStop : recvStop)->LinkDown();
    ++linkSession;
    // The operator's disconnect, close and quit end an acquisition before
    // the links close: one still running has lost its unit.
    if (acquiring()) {
        stopOnLinkLoss(transmitter);
        return;
    }
    // The other link went a moment ago and ended the acquisition: one box
    // names both.
    if (lossTelling.isActive()) {
        (transmitter ? lostSend : lostRecv) = true;
        refusalStatus = StatusTexts::linksLost(lostSend, lostRecv);
        setStatus(refusalStatus);
    }
    emit deviceDisconnect();
}

// Ends the acquisition as a refusal does. A unit left recording would drive
// the loop, or record, with nothing stored: both units owe a stop, the one
// still linked takes it now, the lost one when its link is back. Entering
// SampleWaitParam with a link down reconnects it.
void ZOLVA_Collector::stopOnLinkLoss(bool transmitter)
{
    qWarning("%s link lost; acquisition stopped", transmitter ? "Transmitter" : "Receiver");
    (transmitter ? lostSend : lostRecv) = true;
    onBtnSampleStop();
    refusalStatus = StatusTexts::linksLost(lostSend, lostRecv);
    setStatus(refusalStatus);
    lossTelling.start(LinkLossSettleMs);
}

void ZOLVA_Collector::tellLinkLoss()
{
    lossTelling.stop();
    if (!lostSend && !lostRecv)
        return;
    const QString units = UnitNames(lostSend, lostRecv);
    lostSend = false;
    lostRecv = false;
    emit sampleRefused(tr("%1连接中断，采集已停止！").arg(units));
}

bool ZOLVA_Collector::acquiring() const
{
    return isActive(QString::fromLatin1(SampleAwaitStop)) || isActive(QString::fromLatin1(SampleSetParam))
        || isActive(QString::fromLatin1(SampleDataUpload));
}

bool ZOLVA_Collector::StopOwed(bool transmitter) const
{
    return (transmitter ? sendStop : recvStop)->Owed();
}

bool ZOLVA_Collector::StopOwed() const
{
    return sendStop->Owed() || recvStop->Owed();
}

void ZOLVA_Collector::SendOwedStops()
{
    sendStop->SendNow();
    recvStop->SendNow();
}

void ZOLVA_Collector::SetStopTiming(int retryMs, int waitMs)
{
    sendStop->SetRetryMs(retryMs);
    recvStop->SetRetryMs(retryMs);
    stopWaitMs = waitMs;
}

int ZOLVA_Collector::StopWaitBound() const
{
    return stopWaitMs;
}

QString ZOLVA_Collector::UnitNames(bool transmitter, bool receiver)
{
    if (transmitter && receiver)
        return tr("发射机和接收机");
    return transmitter ? tr("发射机") : tr("接收机");
}

QString ZOLVA_Collector::UnconfirmedStopWarning(bool transmitter, bool receiver)
{
    return tr("%1未确认停止，可能仍在工作！").arg(UnitNames(transmitter, receiver));
}

void ZOLVA_Collector::onStopsChanged()
{
    setStatus(linkStatus);
    emit stopsChanged();
    if (!StopOwed() && isActive(QString::fromLatin1(SampleAwaitStop))) {
        stopWait.stop();
        emit stopsTaken();
    }
}

// A unit that did not take its stop may still record for the acquisition
// it was asked to end: starting it again would mix the two.
void ZOLVA_Collector::OnEntry_SampleAwaitStop()
{
    SetSampleStatus(SETPARAM);
    if (!StopOwed()) {
        emit stopsTaken();
        return;
    }
    SendOwedStops();
    stopWait.start(stopWaitMs);
}

void ZOLVA_Collector::onStopWaitOver()
{
    const bool send = sendStop->Owed(), recv = recvStop->Owed();
    const QString units = send && recv ? QStringLiteral("Transmitter and receiver")
        : send                         ? QStringLiteral("Transmitter")
                                       : QStringLiteral("Receiver");
    stopAwaiting(SampleAwaitStop, units + QStringLiteral(" took no stop in time"),
                 StatusTexts::stopsOwed(send, true, recv, true),
                 tr("%1未确认停止，采集未开始！").arg(UnitNames(send, recv)));
}

void ZOLVA_Collector::onDeviceConnected()
{
    if (sendLinked && recvLinked)
        emit deviceConnected();
    else
        setStatus(StatusTexts::linkUpdate(sendLinked, recvLinked));
}

bool ZOLVA_Collector::isIPv4Address(const QString& text)
{
    return QHostAddress(text).protocol() == QAbstractSocket::IPv4Protocol;
}

void ZOLVA_Collector::setStatus(const QString& text)
{
    linkStatus = text;
    // A stop owed, or a towed unit sending nothing, is told in place of the
    // link: the panel has room for two lines, and a unit that may still
    // record must not read as idle and well.
    const QString stops =
        StatusTexts::stopsOwed(sendStop->Owed(), sendStop->Doubted(), recvStop->Owed(), recvStop->Doubted());
    const QString silent = StatusTexts::unitSilent(pairing.Silent(true), pairing.Silent(false));
    const QString shown = !stops.isEmpty() ? stops : !silent.isEmpty() ? silent : text;
    setProperty("StatusConnect", shown + StatusTexts::unpairedDropped(pairing.Dropped()));
}

void ZOLVA_Collector::setIntProperty(const char* name, qint64 value)
{
    setProperty(name, clampToInt(double(value)));
}

void ZOLVA_Collector::OnEntry_DeviceWait()
{
    SetSampleStatus(DISCONN);
    setStatus(StatusTexts::disconnected());
    sendLinked = false;
    recvLinked = false;
    ++linkSession;
    refusalStatus.clear();
    recvLink->Disconnect();
    sendLink->Disconnect();
    // Monitor values of units let go of would read as current ones.
    setProperty("SendV", 0.0);
    setProperty("DeviceV", 0.0);
    setProperty("DeviceTemp", 0.0);
}

void ZOLVA_Collector::OnEntry_DeviceInit()
{
    // A link lost while online: nothing can start until both are back, and
    // a panel left idle would take a start press that does nothing.
    SetSampleStatus(DISCONN);
    setStatus(StatusTexts::initialising());
    if (!isIPv4Address(DeviceIP_Send) || !isIPv4Address(DeviceIP_Recv)) {
        setStatus(StatusTexts::invalidAddress());
        return;
    }
    if (!recvLinked) {
        recvLink->SetAddress(st_ComAddress{DeviceIP_Recv, UnitPort});
        recvLink->Connect();
    }
    if (!sendLinked) {
        sendLink->SetAddress(st_ComAddress{DeviceIP_Send, UnitPort});
        sendLink->Connect();
    }
    emit tryConnect();
}

void ZOLVA_Collector::OnEntry_DeviceConnecting()
{
    setStatus(StatusTexts::connecting(sendLinked, recvLinked));
    // Both links may have come up already (one was kept from before); no
    // further link signal would then ever move the machine on.
    if (sendLinked && recvLinked)
        emit deviceConnected();
}

void ZOLVA_Collector::OnExit_DeviceConnecting()
{
    if (!(sendLinked && recvLinked))
        setStatus(StatusTexts::retrying());
}

// A refusal, or a link loss that ended an acquisition, stays shown over the
// reconnect until the next start.
void ZOLVA_Collector::OnEntry_DeviceOnline()
{
    setStatus(refusalStatus.isEmpty() ? StatusTexts::online() : refusalStatus);
}

bool ZOLVA_Collector::startParamsValid() const
{
    return std::isfinite(ParamFs) && ParamFs > 0 && ParamPeriod >= 1 && ParamRepeat >= 1;
}

void ZOLVA_Collector::refuseStart()
{
    qWarning("Acquisition not started: base frequency %g Hz, %d periods, %d repeats", ParamFs, ParamPeriod,
             ParamRepeat);
    refuse(StatusTexts::paramsRefused(),
           tr("采集参数无效（频率 %1 Hz，叠加 %2 次，重复 %3 次），采集未开始！")
               .arg(ParamFs)
               .arg(ParamPeriod)
               .arg(ParamRepeat));
}

// A reply ends only the attempt whose step awaits it: a late one, of an
// attempt already stopped, must not stop the next.
bool ZOLVA_Collector::stopAwaiting(const char* step, const QString& what, const QString& status, const QString& reason)
{
    if (!isActive(QString::fromLatin1(step)))
        return false;
    qWarning("%s; acquisition stopped", qPrintable(what));
    onBtnSampleStop();
    refuse(status, reason);
    return true;
}

void ZOLVA_Collector::refuse(const QString& status, const QString& reason)
{
    refusalStatus = status;
    setStatus(status);
    emit sampleRefused(reason);
}

// Requests ended here were not left unanswered by a unit: their give-ups
// must not read as its silence.
void ZOLVA_Collector::dropRequests()
{
    const QSignalBlocker quietRecv(recvLink);
    const QSignalBlocker quietSend(sendLink);
    recvLink->GiveUpRequests();
    sendLink->GiveUpRequests();
}

void ZOLVA_Collector::OnEntry_SampleSetParam()
{
    SetSampleStatus(SETPARAM);
    if (loopIndex == 0)
        beginAcquisition();
}

void ZOLVA_Collector::beginAcquisition()
{
    dropRequests();
    // A link loss still settling is told before anything of this one.
    tellLinkLoss();
    // A refusal is told for its moment: the next start shows the link again.
    if (linkStatus == refusalStatus)
        linkStatus = StatusTexts::online();
    refusalStatus.clear();
    run = {ParamFs, ParamPeriod, ContinueMode == Continue ? 1 : ParamRepeat, SampleMode, ContinueMode};
    // Known before the first record: it may complete before the start reply.
    recordMs = computeRecordMs();
    setIntProperty("ProgressMax", qint64(recordMs) * run.repeat);
    pairing.Start(double(run.period) * 1000.0 / run.fs);
    towedBacklog.Hold();
    setStatus(linkStatus);
}

void ZOLVA_Collector::OnEntry_SetParam_ConfigChannel()
{
    if (run.sampleMode == SelfCheck || loopIndex != 0) {
        emit cmdConfigRecv();
        return;
    }
    st_ConfigAutoTimeChannel_VRX2208 request;
    request.ParamFs = float(run.fs);
    request.ChannelCount = 1250;
    recvLink->RecvConfig_AutoChannel(&request);
}

// Without accepted time channels the receiver has no gate table for this
// frequency: its gated uploads would be dropped or carry another frequency's
// times. The attempt ends instead.
void ZOLVA_Collector::onAutoChannelReply(bool ok)
{
    if (!ok
        && stopAwaiting(SetParam_ConfigChannel,
                        QString::asprintf("Receiver refused the time channels for %g Hz", run.fs),
                        StatusTexts::channelsRefused(), tr("接收机拒绝了 %1 Hz 的时间道，采集已停止！").arg(run.fs)))
        return;
    emit cmdConfigRecv();
}

// A unit that refused its parameters would record by its old ones, or not
// at all, and one that refused to start records nothing.
void ZOLVA_Collector::onRecvConfigReply(bool ok)
{
    if (!ok
        && stopAwaiting(SetParam_ConfigRecv, QStringLiteral("Receiver refused the acquisition parameters"),
                        StatusTexts::recvParamsRefused(), tr("接收机拒绝了采集参数，采集已停止！")))
        return;
    emit cmdConfigSend();
}

void ZOLVA_Collector::onSendConfigReply(uint status)
{
    if (status == 0
        && stopAwaiting(SetParam_ConfigSend, QStringLiteral("Transmitter refused the acquisition parameters"),
                        StatusTexts::sendParamsRefused(), tr("发射机拒绝了采集参数，采集已停止！")))
        return;
    emit deviceConfiged();
}

void ZOLVA_Collector::onStartReply(bool started)
{
    if (!started
        && stopAwaiting(SetParam_Start, QStringLiteral("Transmitter refused to start"), StatusTexts::startRefused(),
                        tr("发射机拒绝启动，采集已停止！")))
        return;
    emit deviceStarted();
}

// A request unanswered after its resends is given up; the step awaiting
// it would wait for ever. A link that goes down gives up its requests as
// well: that is a link loss, handled as one.
void ZOLVA_Collector::onRecvNoReply(quint32 command)
{
    const char* step = command == RecvCommand::AutoChannel ? SetParam_ConfigChannel
        : command == RecvCommand::Config                   ? SetParam_ConfigRecv
                                                           : nullptr;
    if (step && recvLink->IsConnected())
        stopAwaiting(step, QStringLiteral("Receiver gave no reply to command %1").arg(command),
                     StatusTexts::recvSilent(), tr("接收机无应答，采集已停止！"));
}

void ZOLVA_Collector::onSendNoReply(quint32 command)
{
    const char* step = command == SendCommand::Config ? SetParam_ConfigSend
        : command == SendCommand::Start               ? SetParam_Start
                                                      : nullptr;
    if (step && sendLink->IsConnected())
        stopAwaiting(step, QStringLiteral("Transmitter gave no reply to command %1").arg(command),
                     StatusTexts::sendSilent(), tr("发射机无应答，采集已停止！"));
}

void ZOLVA_Collector::OnEntry_SetParam_ConfigRecv()
{
    st_RecvParam param;
    param.ParamFs = float(run.fs);
    param.ParamPeriod = run.period;
    param.ContinueMode = run.continueMode;
    param.SampleMode = run.sampleMode;
    param.SendTime = QDateTime::currentMSecsSinceEpoch();
    param.RateCode = 0;
    recvLink->RecvConfig(&param);
}

void ZOLVA_Collector::OnEntry_SetParam_ConfigSend()
{
    st_TEMSendInfo info;
    info.ParamFs = float(run.fs);
    info.ParamPeriod = run.period;
    info.ContinueMode = run.continueMode;
    info.Reserved = 0;
    sendLink->TEM_Config(&info);
    wifiStatusTask();
}

void ZOLVA_Collector::OnEntry_SetParam_Start()
{
    sendLink->TEM_Strat();
}

int ZOLVA_Collector::queryWifiSignalQuality()
{
    return WifiQuality().query();
}

void ZOLVA_Collector::wifiStatusTask()
{
    // The pool task sees only the query; the answer comes back through the
    // watcher on this thread and is dropped there if the link went meanwhile.
    auto* watcher = new QFutureWatcher<int>(this);
    const quint64 session = linkSession;
    connect(watcher, &QFutureWatcher<int>::finished, this, [this, watcher, session] {
        showWifiStatus(watcher->result(), session);
        watcher->deleteLater();
    });
    watcher->setFuture(QtConcurrent::run(QThreadPool::globalInstance(), wifiQuery));
}

void ZOLVA_Collector::showWifiStatus(int quality, quint64 session)
{
    // A refusal stays shown until the next start.
    if (session != linkSession || !(sendLinked && recvLinked) || !isActive(QString::fromLatin1(DeviceOnline))
        || linkStatus == refusalStatus)
        return;
    setStatus(StatusTexts::wifi(quality));
}

void ZOLVA_Collector::OnEntry_SampleWaitParam()
{
    recvList.clear();
    sendList.clear();
    pairing.Clear();
    towedBacklog.Clear();
    progressTimer.stop();
    setProperty("ProgressMax", 0);
    setProperty("Progress", 0);
    loopIndex = 0;
    recordsBeforeStart = false;
    SetSampleStatus(IDLE);
    emit dataSave(false);
    // A link lost while the save decision was pending is reconnected now.
    if (!(sendLinked && recvLinked))
        emit deviceDisconnect();
}

// At least 1 ms: a frequency above 1000 x the periods would give records of
// 0 ms, and the progress would run below zero.
int ZOLVA_Collector::computeRecordMs() const
{
    return std::max(1, clampToInt(double(qint64(run.period) * 1000) / run.fs));
}

void ZOLVA_Collector::OnEntry_SampleDataUpload()
{
    SetSampleStatus(SAMPLING);
    if (loopIndex == 0) {
        setProperty("Progress", 0);
        progressTimer.start(200);
    } else if (loopIndex < run.repeat) {
        progressTimer.start(200);
    }
    if (std::exchange(recordsBeforeStart, false))
        completeRecordSet();
    towedBacklog.Release();
    tellTowedLoss(towedBacklog.TakeDropped());
}

void ZOLVA_Collector::OnEntry_SampleWaitSave()
{
    progressTimer.stop();
    setProperty("Progress", ProgressMax);
    SetSampleStatus(UPLOAD);
}

void ZOLVA_Collector::OnEntry_SampleDataSave()
{
    SetSampleStatus(SAVING);
    emit dataSave(true);
}

// The data model ends the save itself, committed or rolled back: nothing is
// left to undo here.
void ZOLVA_Collector::OnExit_SampleDataSave()
{
}

bool ZOLVA_Collector::HSample_UploadToSet(QEvent* e)
{
    return e->type() == RecordDoneEvent && loopIndex < run.repeat;
}

bool ZOLVA_Collector::HSample_UploadToWaitsave(QEvent* e)
{
    return e->type() == RecordDoneEvent && loopIndex >= run.repeat;
}

// Records count from the moment the start request went out: the units may
// upload before its reply arrives. A record that comes earlier, while the
// units are being configured, was sent before they were started: it belongs
// to a stopped attempt and would complete this one with another frequency.
bool ZOLVA_Collector::collecting() const
{
    return isActive(QString::fromLatin1(SetParam_Start)) || isActive(QString::fromLatin1(SampleDataUpload));
}

void ZOLVA_Collector::onDeviceData_Send(st_TEMSendData data)
{
    if (!collecting())
        return;
    if (run.continueMode == Continue) {
        pairing.Add(data);
        return;
    }
    sendList.append(data);
    checkRecordComplete();
}

void ZOLVA_Collector::onDeviceData_Recv(st_RecvData_VRX2208 data)
{
    if (!collecting())
        return;
    if (run.continueMode == Continue) {
        pairing.Add(data);
        return;
    }
    recvList.append(data);
    checkRecordComplete();
}

// A pair settled after the link went down belongs to an acquisition that
// has ended. One made before the start reply waits for it: a start refused
// or left unanswered stores nothing.
void ZOLVA_Collector::onTowedPair(st_TEMSendData send, st_RecvData_VRX2208 recv)
{
    if (collecting())
        towedBacklog.Add(send, recv);
}

void ZOLVA_Collector::storeTowed(const st_TEMSendData& send, const st_RecvData_VRX2208& recv)
{
    sendList = {send};
    recvList = {recv};
    uploadRecords();
}

void ZOLVA_Collector::onTowedDrop(bool transmitter, int total, qint64 periodMs)
{
    // The read stamps count ms of the monotonic clock.
    QElapsedTimer clock;
    clock.start();
    const QDateTime period = QDateTime::currentDateTime().addMSecs(periodMs - clock.msecsSinceReference());
    qWarning("%s towed %s record dropped without its partner; %d dropped in this acquisition",
             qPrintable(logTime(period)), transmitter ? "transmitter" : "receiver", total);
    setStatus(linkStatus);
}

void ZOLVA_Collector::onTowedSilence(bool transmitter, bool silent)
{
    if (silent)
        qWarning("%s towed %s sends no records while the %s goes on; its partners are dropped as they fall due",
                 qPrintable(logTime(QDateTime::currentDateTime())), transmitter ? "transmitter" : "receiver",
                 transmitter ? "receiver" : "transmitter");
    setStatus(linkStatus);
}

// Before the start reply nothing is kept: what waits is forgotten on
// entering SampleWaitParam.
void ZOLVA_Collector::finishTowing()
{
    if (run.continueMode != Continue || !isActive(QString::fromLatin1(SampleDataUpload)))
        return;
    pairing.Finish();
    towedBacklog.Finish();
    tellTowedLoss(towedBacklog.TakeDropped());
}

void ZOLVA_Collector::tellTowedLoss(int pairs)
{
    if (pairs <= 0)
        return;
    qWarning("%d towed pairs made before the start reply could not be stored", pairs);
    emit notice(tr("%1 对拖曳记录等待发射机启动应答时未能保存！").arg(pairs));
}

void ZOLVA_Collector::onDeviceData_Monitor(st_TEMSendMonitor data)
{
    setProperty("SendV", double(data.SendV));
    setProperty("DeviceV", double(data.DeviceV));
    setProperty("DeviceTemp", double(data.DeviceTemp));
}

// A set completed before the start reply waits for it: a start refused
// then shows, sounds and stores nothing.
void ZOLVA_Collector::checkRecordComplete()
{
    if (!isActive(QString::fromLatin1(SampleDataUpload))) {
        recordsBeforeStart = true;
        return;
    }
    completeRecordSet();
}

void ZOLVA_Collector::completeRecordSet()
{
    if (sendList.isEmpty() || recvList.isEmpty())
        return;
    const int n = run.repeat;
    if (sendList.size() != recvList.size()) {
        if (n > std::min(sendList.size(), recvList.size()))
            return;
        sendList = sendList.mid(sendList.size() - n);
        recvList = recvList.mid(recvList.size() - n);
    }
    uploadRecords();
}

void ZOLVA_Collector::uploadRecords()
{
    const int n = run.repeat;
    currentData.LineNo = 0;
    currentData.PointNo = 0;
    currentData.SampleMode = quint8(run.sampleMode);
    currentData.ParamFs = float(run.fs);
    currentData.ParamPeriod = run.period;
    currentData.ParamRepeat = n;
    if (run.continueMode == Continue) {
        ParamRepeat = 1;
        emit onParamRepeatChanged();
    }
    currentData.ContinueMode = quint8(run.continueMode);

    ZOLVA_Data data = currentData;
    data.sends = sendList;
    data.recvs = recvList;
    emit dataUpload(data);

    if (run.continueMode == Continue) {
        emit dataSave(true);
        recvList.clear();
        sendList.clear();
        recordMs = computeRecordMs();
        setProperty("ProgressMax", recordMs);
        setProperty("Progress", 0);
        progressTimer.start(200);
        return;
    }

    ++loopIndex;
    progressTimer.stop();
    if (loopIndex >= run.repeat) {
        emit repeatsDone();
        setProperty("Progress", ProgressMax);
    } else {
        setIntProperty("Progress", qint64(loopIndex) * recordMs);
    }
    onStateEvent(new QEvent(RecordDoneEvent), QStateMachine::NormalPriority);
}
