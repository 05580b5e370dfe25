#pragma once

#include "acquisition/HCollector.h"
#include "acquisition/PeriodPairing.h"
#include "acquisition/TowedStartBacklog.h"
#include "acquisition/ZOLVA_Data.h"

#include <QList>
#include <QString>
#include <QTimer>

#include <functional>

class Communication;
class ILibRecv_VRX2208;
class QAbstractTransition;
class StopDebt;
class iLibSend;

// The names of the collector's states, written once: the machine is built
// from them and callers ask isActive with them.
namespace CollectorState {
constexpr char DeviceWaitSet[] = "DeviceWaitSet";
constexpr char DeviceInit[] = "DeviceInit";
constexpr char DeviceConnecting[] = "DeviceConnecting";
constexpr char DeviceOnline[] = "DeviceOnline";
constexpr char SampleWaitParam[] = "SampleWaitParam";
constexpr char SampleAwaitStop[] = "SampleAwaitStop";
constexpr char SampleSetParam[] = "SampleSetParam";
constexpr char SampleDataUpload[] = "SampleDataUpload";
constexpr char SampleWaitSave[] = "SampleWaitSave";
constexpr char SampleDataSave[] = "SampleDataSave";
constexpr char SetParam_ConfigChannel[] = "SetParam_ConfigChannel";
constexpr char SetParam_ConfigRecv[] = "SetParam_ConfigRecv";
constexpr char SetParam_ConfigSend[] = "SetParam_ConfigSend";
constexpr char SetParam_Start[] = "SetParam_Start";
}

// Runs the acquisition: connects both units, configures and starts them,
// gathers their records into acquisitions and reports progress, monitor
// values and link status as properties.
class ZOLVA_Collector : public HCollector
{
    Q_OBJECT
    Q_PROPERTY(QString DeviceIP_Send MEMBER DeviceIP_Send NOTIFY sendIPChanged)
    Q_PROPERTY(QString DeviceIP_Recv MEMBER DeviceIP_Recv NOTIFY recvIPChanged)
    Q_PROPERTY(QString StatusConnect MEMBER StatusConnect NOTIFY statusConnectChanged)
    Q_PROPERTY(double ParamFs READ GetParamFs WRITE SetParamFs NOTIFY onParamFsChanged)
    Q_PROPERTY(int ParamPeriod READ GetParamPeriod WRITE SetParamPeriod NOTIFY onParamPeriodChanged)
    Q_PROPERTY(int ParamRepeat MEMBER ParamRepeat NOTIFY onParamRepeatChanged)
    Q_PROPERTY(ZOLVASampleMode SampleMode MEMBER SampleMode NOTIFY onSampleModeChanged)
    Q_PROPERTY(ZOLVASampleStatus SampleStatus READ GetSampleStatus WRITE SetSampleStatus NOTIFY onSampleStatusChanged)
    Q_PROPERTY(double SendV MEMBER SendV NOTIFY onSendVChanged)
    Q_PROPERTY(double DeviceV MEMBER DeviceV NOTIFY onDeviceVChanged)
    Q_PROPERTY(double DeviceTemp MEMBER DeviceTemp NOTIFY onDeviceTempChanged)
    Q_PROPERTY(int Progress MEMBER Progress NOTIFY onProgressChanged)
    Q_PROPERTY(int ProgressMax MEMBER ProgressMax NOTIFY onProgressMaxChanged)
    Q_PROPERTY(ZOLVAContinueMode ContinueMode MEMBER ContinueMode NOTIFY onContinueModeChanged)

public:
    enum ZOLVASampleStatus { DISCONN = 0, IDLE = 1, SETPARAM = 2, SAMPLING = 3, UPLOAD = 4, SAVING = 5 };
    Q_ENUM(ZOLVASampleStatus)
    enum ZOLVASampleMode { TEM = 0, SelfCheck = 1 };
    Q_ENUM(ZOLVASampleMode)
    enum ZOLVAContinueMode { Single = 0, Continue = 1 };
    Q_ENUM(ZOLVAContinueMode)

    // The event that moves a finished record on to the next step.
    static constexpr QEvent::Type RecordDoneEvent = QEvent::User;
    static constexpr quint16 UnitPort = 12345;
    static constexpr int ConnectTimeoutMs = 10000;
    // How long a start waits for the units to take the stops owed to them,
    // and the window for them before it lets go of the units.
    static constexpr int StopWaitMs = 4000;
    // Links lost within this time of each other are told in one box.
    static constexpr int LinkLossSettleMs = 500;

    explicit ZOLVA_Collector(QObject* parent = nullptr);
    ~ZOLVA_Collector() override;

    double GetParamFs() const { return ParamFs; }
    int GetParamPeriod() const { return ParamPeriod; }
    ZOLVASampleStatus GetSampleStatus() const { return SampleStatus; }

    // Answers the Wi-Fi quality 0 to 100, or -1; runs on a pool thread.
    void SetWifiQuery(std::function<int()> query);

    // A stop is owed to the unit: asked and not yet accepted by it.
    bool StopOwed(bool transmitter) const;
    bool StopOwed() const;
    // Every owed stop that awaits no reply goes out now.
    void SendOwedStops();
    // How often an owed stop is asked anew, and how long a start or the
    // window waits for the stops to be taken.
    void SetStopTiming(int retryMs, int waitMs);
    int StopWaitBound() const;
    // The warning for stops not taken, naming the units.
    static QString UnconfirmedStopWarning(bool transmitter, bool receiver);
    // "发射机", "接收机" or both, as the warnings name them.
    static QString UnitNames(bool transmitter, bool receiver);

signals:
    void onBtnConnect();
    void onBtnDisconn();
    void tryConnect();
    void onBtnSampleStart();
    void cmdSampleStop();
    void cmdConfigRecv();
    void cmdConfigSend();
    void onBtnSaveOK();
    void onBtnSaveCancel();
    void cmdSaveOver();
    // The acquisition could not be stored: it waits for the decision again.
    void cmdSaveFailed();
    void deviceDisconnect();
    void deviceConnected();
    void deviceConfiged();
    void deviceStarted();
    // No stop is owed any more: a start that waited for them goes on.
    void stopsTaken();
    // A stop became owed, doubted or taken.
    void stopsChanged();
    // A unit refused its stop or left it unanswered, told once per stop.
    void stopDoubted(QString warning);
    // Something the operator must hear of that ends nothing.
    void notice(QString warning);
    void dataUpload(ZOLVA_Data data);
    void dataSave(bool save);
    void onContinueModeChanged();
    void sendIPChanged(QString ip);
    void recvIPChanged(QString ip);
    void statusConnectChanged(QString status);
    void onParamFsChanged();
    void onParamPeriodChanged();
    void onParamRepeatChanged();
    void onSampleStatusChanged();
    void onSendVChanged();
    void onDeviceVChanged();
    void onDeviceTempChanged();
    void onProgressChanged(int progress);
    void onProgressMaxChanged(int progressMax);
    void onSampleModeChanged();
    // The last repeat of a single acquisition is in: the window beeps.
    void repeatsDone();
    // A start refused by a unit or for its parameters, or ended by a unit
    // that gave no reply or whose link was lost, in words for the operator;
    // the status shows it until the next start.
    void sampleRefused(QString reason);

public slots:
    void Start();
    void onTestEvent();
    void onBtnSampleStop();
    void onLoad_Param(double SendFs, int SendPeriod, int ContinueMode = 0);
    void SetSampleStatus(ZOLVASampleStatus v);
    void ProgressAdd();
    void SetParamFs(double v);
    void SetParamPeriod(int v);
    void SetParamRepeat(int v);

private slots:
    void onDeviceConnected();
    void onDeviceData_Send(st_TEMSendData data);
    void onDeviceData_Monitor(st_TEMSendMonitor data);
    void onDeviceData_Recv(st_RecvData_VRX2208 data);
    void onAutoChannelReply(bool ok);
    void onRecvConfigReply(bool ok);
    void onSendConfigReply(uint status);
    void onStartReply(bool started);
    void onRecvNoReply(quint32 command);
    void onSendNoReply(quint32 command);
    void onTowedPair(st_TEMSendData send, st_RecvData_VRX2208 recv);
    void onTowedDrop(bool transmitter, int total, qint64 periodMs);
    void onTowedSilence(bool transmitter, bool silent);

private:
    Q_INVOKABLE void OnEntry_DeviceWait();
    Q_INVOKABLE void OnEntry_DeviceInit();
    Q_INVOKABLE void OnEntry_DeviceConnecting();
    Q_INVOKABLE void OnExit_DeviceConnecting();
    Q_INVOKABLE void OnEntry_DeviceOnline();
    Q_INVOKABLE void OnEntry_SampleWaitParam();
    Q_INVOKABLE void OnEntry_SampleAwaitStop();
    Q_INVOKABLE void OnEntry_SampleSetParam();
    Q_INVOKABLE void OnEntry_SampleDataUpload();
    Q_INVOKABLE void OnEntry_SampleWaitSave();
    Q_INVOKABLE void OnEntry_SampleDataSave();
    Q_INVOKABLE void OnExit_SampleDataSave();
    Q_INVOKABLE bool HSample_UploadToSet(QEvent* e);
    Q_INVOKABLE bool HSample_UploadToWaitsave(QEvent* e);
    Q_INVOKABLE void OnEntry_SetParam_ConfigChannel();
    Q_INVOKABLE void OnEntry_SetParam_ConfigRecv();
    Q_INVOKABLE void OnEntry_SetParam_ConfigSend();
    Q_INVOKABLE void OnEntry_SetParam_Start();

    // The parameters an acquisition started with: the fields stay editable
    // while it runs, and a change must not reach its later repeats.
    struct Acquisition
    {
        double fs = 25.0;
        int period = 25;
        // 1 in continuous mode: every record is an acquisition of its own.
        int repeat = 2;
        ZOLVASampleMode sampleMode = TEM;
        ZOLVAContinueMode continueMode = Single;
    };

    void buildMachine();
    // Registrations that fail stop the program: a misspelt name or signature
    // would otherwise leave a state that silently does nothing.
    void bindEntry(const char* state, const char* signature);
    void bindExit(const char* state, const char* signature);
    void child(const char* state, const char* parent, bool initial);
    void transition(const char* source, const char* target, QAbstractTransition* transition);
    void guard(const char* source, const char* target, const char* signature);
    void beginAcquisition();
    void onLinkUp(bool transmitter);
    void onLinkDown(bool transmitter);
    void stopOnLinkLoss(bool transmitter);
    void tellLinkLoss();
    void onStopsChanged();
    void onStopWaitOver();
    void tellTowedLoss(int pairs);
    bool acquiring() const;
    void setStatus(const QString& text);
    void setIntProperty(const char* name, qint64 value);
    bool collecting() const;
    bool startParamsValid() const;
    void refuseStart();
    bool stopAwaiting(const char* step, const QString& what, const QString& status, const QString& reason);
    void refuse(const QString& status, const QString& reason);
    void dropRequests();
    int computeRecordMs() const;
    void checkRecordComplete();
    void completeRecordSet();
    // Towing ends with the acquisition: what waits is stored or counted.
    void finishTowing();
    void storeTowed(const st_TEMSendData& send, const st_RecvData_VRX2208& recv);
    void uploadRecords();
    void wifiStatusTask();
    void showWifiStatus(int quality, quint64 session);

    static bool isIPv4Address(const QString& text);
    static int queryWifiSignalQuality();

    ILibRecv_VRX2208* recvLink;
    iLibSend* sendLink;
    ZOLVA_Data currentData;
    QList<st_TEMSendData> sendList;
    QList<st_RecvData_VRX2208> recvList;
    QString DeviceIP_Send = QStringLiteral("192.168.0.9");
    QString DeviceIP_Recv = QStringLiteral("192.168.0.10");
    QString StatusConnect;
    // StatusConnect without the count of towed records dropped.
    QString linkStatus;
    double ParamFs = 25.0;
    int ParamPeriod = 25;
    int ParamRepeat = 2;
    int loopIndex = 0;
    double SendV = 0.0;
    double DeviceV = 0.0;
    double DeviceTemp = 0.0;
    ZOLVASampleStatus SampleStatus = DISCONN;
    int Progress = 0;
    int recordMs = 0;
    int ProgressMax = 0;
    bool sendLinked = false;
    bool recvLinked = false;
    StopDebt* sendStop;
    StopDebt* recvStop;
    QTimer stopWait;
    int stopWaitMs = StopWaitMs;
    // Units whose link was lost in the acquisition being told of.
    bool lostSend = false;
    bool lostRecv = false;
    QTimer lossTelling;
    QTimer progressTimer;
    ZOLVASampleMode SampleMode = TEM;
    ZOLVAContinueMode ContinueMode = Single;
    Acquisition run;
    PeriodPairing pairing;
    TowedStartBacklog towedBacklog;

    // Counts link losses and disconnects, so a Wi-Fi answer started on an
    // earlier connection is recognised as stale.
    quint64 linkSession = 0;
    // Records came before the start reply: the set they complete is
    // uploaded once the start is accepted.
    bool recordsBeforeStart = false;
    // The refusal shown until the next start; empty for none.
    QString refusalStatus;
    std::function<int()> wifiQuery;
};
