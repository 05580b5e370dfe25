#include "acquisition/ZOLVA_Collector.h"

#include "acquisition/HSignalTransition.h"
#include "acquisition/StatusTexts.h"
#include "devlink/ILibRecv_VRX2208.h"
#include "devlink/iLibSend.h"
#include "platform/WifiQuality.h"

#include <QDateTime>
#include <QFutureWatcher>
#include <QHostAddress>
#include <QSignalTransition>
#include <QState>
#include <QThreadPool>
#include <QtConcurrent>

#include <algorithm>
#include <climits>
#include <cmath>

namespace {

int clampToInt(double v)
{
    if (std::isnan(v))
        return 0;
    return int(std::clamp(std::trunc(v), double(INT_MIN), double(INT_MAX)));
}

const char* const kDisconnected = "<p style='color:red;'>未连接</p>";

}

ZOLVA_Collector::ZOLVA_Collector(QObject* parent)
    : HCollector(parent)
    , recvLink(new ILibRecv_VRX2208(this))
    , sendLink(new iLibSend(this))
    , StatusConnect(QString::fromUtf8(kDisconnected))
    , wifiQuery(&ZOLVA_Collector::queryWifiSignalQuality)
{
    qRegisterMetaType<ZOLVA_Data>("ZOLVA_Data");

    connect(recvLink, &Communication::ComConnected, this, [this] { onLinkUp(recvLink, recvLinked); });
    connect(recvLink, &Communication::ComClosed, this, [this] { onLinkDown(recvLinked); });
    connect(sendLink, &Communication::ComConnected, this, [this] { onLinkUp(sendLink, sendLinked); });
    connect(sendLink, &Communication::ComClosed, this, [this] { onLinkDown(sendLinked); });

    // The replies only pace the sequence; their values are not looked at,
    // except a refused time-channel request (see onAutoChannelReply).
    connect(recvLink, SIGNAL(onRecvAutoChannel(bool)), this, SLOT(onAutoChannelReply(bool)));
    connect(recvLink, SIGNAL(onRecvConfiged(bool)), this, SIGNAL(cmdConfigSend()));
    connect(sendLink, SIGNAL(TEM_Configed(uint)), this, SIGNAL(deviceConfiged()));
    connect(sendLink, SIGNAL(TEM_Strated(bool)), this, SIGNAL(deviceStarted()));

    connect(sendLink, &iLibSend::TEM_NewSendData, this, &ZOLVA_Collector::onDeviceData_Send);
    connect(sendLink, &iLibSend::TEM_SendMonitor, this, &ZOLVA_Collector::onDeviceData_Monitor);
    connect(recvLink, &ILibRecv_VRX2208::onRecvData, this, &ZOLVA_Collector::onDeviceData_Recv);

    connect(&progressTimer, &QTimer::timeout, this, &ZOLVA_Collector::ProgressAdd);

    buildMachine();
}

ZOLVA_Collector::~ZOLVA_Collector()
{
    // The links close their sockets as they go; that is no link loss.
    recvLink->disconnect(this);
    sendLink->disconnect(this);
}

void ZOLVA_Collector::buildMachine()
{
    const auto on = [this](const char* signal) { return new QSignalTransition(this, signal); };

    for (const char* name : {"DeviceWaitSet", "DeviceInit", "DeviceConnecting", "DeviceOnline"})
        addState(QString::fromLatin1(name));
    setStateEntryMethod(QStringLiteral("DeviceWaitSet"), this, QStringLiteral("OnEntry_DeviceWait()"));
    setStateEntryMethod(QStringLiteral("DeviceInit"), this, QStringLiteral("OnEntry_DeviceInit()"));
    setStateEntryMethod(QStringLiteral("DeviceConnecting"), this, QStringLiteral("OnEntry_DeviceConnecting()"));
    setStateExitMethod(QStringLiteral("DeviceConnecting"), this, QStringLiteral("OnExit_DeviceConnecting()"));
    setStateEntryMethod(QStringLiteral("DeviceOnline"), this, QStringLiteral("OnEntry_DeviceOnline()"));

    addTransition(QStringLiteral("DeviceWaitSet"), QStringLiteral("DeviceInit"), on(SIGNAL(onBtnConnect())));
    addTransition(QStringLiteral("DeviceInit"), QStringLiteral("DeviceWaitSet"), on(SIGNAL(onBtnDisconn())));
    addTransition(QStringLiteral("DeviceInit"), QStringLiteral("DeviceConnecting"), on(SIGNAL(tryConnect())));
    addTransition(QStringLiteral("DeviceConnecting"), QStringLiteral("DeviceWaitSet"), on(SIGNAL(onBtnDisconn())));
    addTransition(QStringLiteral("DeviceConnecting"), QStringLiteral("DeviceInit"), on(SIGNAL(deviceDisconnect())));
    addTransition(QStringLiteral("DeviceConnecting"), QStringLiteral("DeviceOnline"), on(SIGNAL(deviceConnected())));
    addTransition(QStringLiteral("DeviceOnline"), QStringLiteral("DeviceWaitSet"), on(SIGNAL(onBtnDisconn())));
    addTransition(QStringLiteral("DeviceOnline"), QStringLiteral("DeviceInit"), on(SIGNAL(deviceDisconnect())));
    addTimeoutTransition(QStringLiteral("DeviceConnecting"), QStringLiteral("DeviceInit"), ConnectTimeoutMs);

    WorkInit(QStringLiteral("DeviceWaitSet"));

    addChildState(QStringLiteral("SampleWaitParam"), QStringLiteral("DeviceOnline"), true);
    for (const char* name : {"SampleSetParam", "SampleDataUpload", "SampleWaitSave", "SampleDataSave"})
        addChildState(QString::fromLatin1(name), QStringLiteral("DeviceOnline"), false);
    setStateEntryMethod(QStringLiteral("SampleWaitParam"), this, QStringLiteral("OnEntry_SampleWaitParam()"));
    setStateEntryMethod(QStringLiteral("SampleSetParam"), this, QStringLiteral("OnEntry_SampleSetParam()"));
    setStateEntryMethod(QStringLiteral("SampleDataUpload"), this, QStringLiteral("OnEntry_SampleDataUpload()"));
    setStateEntryMethod(QStringLiteral("SampleWaitSave"), this, QStringLiteral("OnEntry_SampleWaitSave()"));
    setStateEntryMethod(QStringLiteral("SampleDataSave"), this, QStringLiteral("OnEntry_SampleDataSave()"));
    setStateExitMethod(QStringLiteral("SampleDataSave"), this, QStringLiteral("OnExit_SampleDataSave()"));

    // Parameters that would make the units misbehave (they can come from a
    // project file) never reach them.
    addTransition(QStringLiteral("SampleWaitParam"), QStringLiteral("SampleSetParam"),
                  new HSignalTransition(this, SIGNAL(onBtnSampleStart()), [this] { return startParamsValid(); }));
    addTransition(QStringLiteral("SampleSetParam"), QStringLiteral("SampleWaitParam"), on(SIGNAL(cmdSampleStop())));
    addTransition(QStringLiteral("SampleSetParam"), QStringLiteral("SampleDataUpload"), on(SIGNAL(deviceStarted())));
    addTransition(QStringLiteral("SampleDataUpload"), QStringLiteral("SampleWaitParam"), on(SIGNAL(cmdSampleStop())));
    addMethodTransition(QStringLiteral("SampleDataUpload"), QStringLiteral("SampleSetParam"), this,
                        QStringLiteral("HSample_UploadToSet(QEvent*)"));
    addMethodTransition(QStringLiteral("SampleDataUpload"), QStringLiteral("SampleWaitSave"), this,
                        QStringLiteral("HSample_UploadToWaitsave(QEvent*)"));
    addTransition(QStringLiteral("SampleWaitSave"), QStringLiteral("SampleWaitParam"), on(SIGNAL(onBtnSaveCancel())));
    addTransition(QStringLiteral("SampleWaitSave"), QStringLiteral("SampleDataSave"), on(SIGNAL(onBtnSaveOK())));
    addTransition(QStringLiteral("SampleDataSave"), QStringLiteral("SampleWaitParam"), on(SIGNAL(cmdSaveOver())));

    // A finished acquisition awaiting the save decision outlives a lost link:
    // these targetless transitions keep the machine where it is, and the
    // reconnect follows the decision (OnEntry_SampleWaitParam).
    for (const char* name : {"SampleWaitSave", "SampleDataSave"}) {
        QSignalTransition* keep = on(SIGNAL(deviceDisconnect()));
        state(QString::fromLatin1(name))->addTransition(keep);
        connect(keep, &QAbstractTransition::triggered, this,
                [this] { setStatus(StatusTexts::linkUpdate(sendLinked, recvLinked)); });
    }

    addChildState(QStringLiteral("SetParam_ConfigChannel"), QStringLiteral("SampleSetParam"), true);
    for (const char* name : {"SetParam_ConfigRecv", "SetParam_ConfigSend", "SetParam_Start"})
        addChildState(QString::fromLatin1(name), QStringLiteral("SampleSetParam"), false);
    setStateEntryMethod(QStringLiteral("SetParam_ConfigChannel"), this,
                        QStringLiteral("OnEntry_SetParam_ConfigChannel()"));
    setStateEntryMethod(QStringLiteral("SetParam_ConfigRecv"), this, QStringLiteral("OnEntry_SetParam_ConfigRecv()"));
    setStateEntryMethod(QStringLiteral("SetParam_ConfigSend"), this, QStringLiteral("OnEntry_SetParam_ConfigSend()"));
    setStateEntryMethod(QStringLiteral("SetParam_Start"), this, QStringLiteral("OnEntry_SetParam_Start()"));

    addTransition(QStringLiteral("SetParam_ConfigChannel"), QStringLiteral("SetParam_ConfigRecv"),
                  on(SIGNAL(cmdConfigRecv())));
    addTransition(QStringLiteral("SetParam_ConfigRecv"), QStringLiteral("SetParam_ConfigSend"),
                  on(SIGNAL(cmdConfigSend())));
    addTransition(QStringLiteral("SetParam_ConfigSend"), QStringLiteral("SetParam_Start"),
                  on(SIGNAL(deviceConfiged())));
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
    recvLink->RecvStop();
    sendLink->TEM_Stop();
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

void ZOLVA_Collector::SetSampleStatus(ZOLVASampleStatus v)
{
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

void ZOLVA_Collector::onLinkUp(Communication* link, bool& linked)
{
    // An attempt started before the operator disconnected is ended as soon
    // as it completes: the units stay disconnected until connect is pressed.
    if (isActive(QStringLiteral("DeviceWaitSet"))) {
        link->Disconnect();
        return;
    }
    linked = true;
    onDeviceConnected();
}

void ZOLVA_Collector::onLinkDown(bool& linked)
{
    linked = false;
    ++linkSession;
    emit deviceDisconnect();
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
    setProperty("StatusConnect", text);
}

void ZOLVA_Collector::setIntProperty(const char* name, qint64 value)
{
    setProperty(name, clampToInt(double(value)));
}

void ZOLVA_Collector::OnEntry_DeviceWait()
{
    SetSampleStatus(DISCONN);
    setStatus(QString::fromUtf8(kDisconnected));
    sendLinked = false;
    recvLinked = false;
    ++linkSession;
    recvLink->Disconnect();
    sendLink->Disconnect();
}

void ZOLVA_Collector::OnEntry_DeviceInit()
{
    setStatus(QStringLiteral("<p style='color:red;'>初始化连接</p>"));
    if (!isIPv4Address(DeviceIP_Send) || !isIPv4Address(DeviceIP_Recv)) {
        setStatus(QStringLiteral("<p style='color:red;'>IP不合规</p>"));
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
        setStatus(QStringLiteral("<p style='color:red;'>重试</p>"));
}

void ZOLVA_Collector::OnEntry_DeviceOnline()
{
    setStatus(QStringLiteral("<p style='color:green;'>已连接</p>"));
}

bool ZOLVA_Collector::startParamsValid() const
{
    if (std::isfinite(ParamFs) && ParamFs > 0 && ParamPeriod >= 1 && ParamRepeat >= 1)
        return true;
    qWarning("Acquisition not started: base frequency %g Hz, %d periods, %d repeats", ParamFs, ParamPeriod,
             ParamRepeat);
    return false;
}

void ZOLVA_Collector::OnEntry_SampleSetParam()
{
    SetSampleStatus(SETPARAM);
    // Known before the first record: it may complete before the start reply.
    if (loopIndex == 0) {
        recordMs = computeRecordMs();
        const qint64 repeats = ContinueMode == Single ? ParamRepeat : 1;
        setIntProperty("ProgressMax", qint64(recordMs) * repeats);
    }
}

void ZOLVA_Collector::OnEntry_SetParam_ConfigChannel()
{
    if (SampleMode == SelfCheck || loopIndex != 0) {
        emit cmdConfigRecv();
        return;
    }
    st_ConfigAutoTimeChannel_VRX2208 request;
    request.ParamFs = float(ParamFs);
    request.ChannelCount = 1250;
    recvLink->RecvConfig_AutoChannel(&request);
}

// Without accepted time channels the receiver has no gate table for this
// frequency: its gated uploads would be dropped or carry another frequency's
// times. The attempt ends instead.
void ZOLVA_Collector::onAutoChannelReply(bool ok)
{
    if (!ok && isActive(QStringLiteral("SetParam_ConfigChannel"))) {
        qWarning("Receiver refused the time channels for %g Hz; acquisition stopped", ParamFs);
        onBtnSampleStop();
        return;
    }
    emit cmdConfigRecv();
}

void ZOLVA_Collector::OnEntry_SetParam_ConfigRecv()
{
    st_RecvParam param;
    param.ParamFs = float(ParamFs);
    param.ParamPeriod = ParamPeriod;
    param.ContinueMode = ContinueMode;
    param.SampleMode = SampleMode;
    param.SendTime = QDateTime::currentMSecsSinceEpoch();
    param.RateCode = 0;
    recvLink->RecvConfig(&param);
}

void ZOLVA_Collector::OnEntry_SetParam_ConfigSend()
{
    st_TEMSendInfo info;
    info.ParamFs = float(ParamFs);
    info.ParamPeriod = ParamPeriod;
    info.ContinueMode = ContinueMode;
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
    if (session != linkSession || !(sendLinked && recvLinked) || !isActive(QStringLiteral("DeviceOnline")))
        return;
    setStatus(StatusTexts::wifi(quality));
}

void ZOLVA_Collector::OnEntry_SampleWaitParam()
{
    recvList.clear();
    sendList.clear();
    progressTimer.stop();
    setProperty("ProgressMax", 0);
    setProperty("Progress", 0);
    loopIndex = 0;
    recordDonePending = false;
    SetSampleStatus(IDLE);
    emit dataSave(false);
    // A link lost while the save decision was pending is reconnected now.
    if (!(sendLinked && recvLinked))
        emit deviceDisconnect();
}

int ZOLVA_Collector::computeRecordMs() const
{
    return clampToInt(double(qint64(ParamPeriod) * 1000) / ParamFs);
}

void ZOLVA_Collector::OnEntry_SampleDataUpload()
{
    SetSampleStatus(SAMPLING);
    if (recordDonePending) {
        recordDonePending = false;
        onStateEvent(new QEvent(RecordDoneEvent), QStateMachine::NormalPriority);
    }
    if (loopIndex == 0) {
        setProperty("Progress", 0);
        progressTimer.start(200);
    } else if (loopIndex < ParamRepeat) {
        progressTimer.start(200);
    }
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
    return e->type() == RecordDoneEvent && loopIndex < ParamRepeat;
}

bool ZOLVA_Collector::HSample_UploadToWaitsave(QEvent* e)
{
    return e->type() == RecordDoneEvent && loopIndex >= ParamRepeat;
}

// Records count only while an acquisition runs; the receiver may upload
// before the start reply, so the configuration steps take them too. Records
// after a stop or while waiting would complete a wrong set or move the
// repeat counter past the time-channel request of the next acquisition.
bool ZOLVA_Collector::collecting() const
{
    return isActive(QStringLiteral("SampleSetParam")) || isActive(QStringLiteral("SampleDataUpload"));
}

void ZOLVA_Collector::onDeviceData_Send(st_TEMSendData data)
{
    if (!collecting())
        return;
    sendList.append(data);
    checkRecordComplete();
}

void ZOLVA_Collector::onDeviceData_Recv(st_RecvData_VRX2208 data)
{
    if (!collecting())
        return;
    recvList.append(data);
    checkRecordComplete();
}

void ZOLVA_Collector::onDeviceData_Monitor(st_TEMSendMonitor data)
{
    setProperty("SendV", double(data.SendV));
    setProperty("DeviceV", double(data.DeviceV));
    setProperty("DeviceTemp", double(data.DeviceTemp));
}

void ZOLVA_Collector::checkRecordComplete()
{
    if (sendList.isEmpty() || recvList.isEmpty())
        return;
    // In continuous mode every pair is an acquisition of its own.
    const int n = ContinueMode == Continue ? 1 : ParamRepeat;
    if (sendList.size() != recvList.size()) {
        if (n > std::min(sendList.size(), recvList.size()))
            return;
        sendList = sendList.mid(sendList.size() - n);
        recvList = recvList.mid(recvList.size() - n);
    }

    currentData.LineNo = 0;
    currentData.PointNo = 0;
    currentData.SampleMode = quint8(SampleMode);
    currentData.ParamFs = float(ParamFs);
    currentData.ParamPeriod = ParamPeriod;
    currentData.ParamRepeat = n;
    if (ContinueMode == Continue) {
        ParamRepeat = 1;
        emit onParamRepeatChanged();
        currentData.ParamRepeat = 1;
    }
    currentData.ContinueMode = quint8(ContinueMode);

    ZOLVA_Data data = currentData;
    data.sends = sendList;
    data.recvs = recvList;
    emit dataUpload(data);

    if (ContinueMode == Continue) {
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
    if (loopIndex >= ParamRepeat) {
        emit repeatsDone();
        setProperty("Progress", ProgressMax);
    } else {
        setIntProperty("Progress", qint64(loopIndex) * recordMs);
    }
    // A set completed before the start reply is moved on once collecting
    // begins: only there do the guards listen for it.
    if (isActive(QStringLiteral("SampleDataUpload")))
        onStateEvent(new QEvent(RecordDoneEvent), QStateMachine::NormalPriority);
    else
        recordDonePending = true;
}
