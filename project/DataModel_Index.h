#pragma once

#include "acquisition/ZOLVA_Data.h"
#include "orm/Status.h"
#include "project/LineProfileQueue.h"
#include "project/LineSnapshot.h"
#include "project/ProjectFileAccess.h"
#include "project/ProjectRecords.h"

#include <QList>
#include <QModelIndex>
#include <QPoint>
#include <QSqlDatabase>
#include <QSqlError>
#include <QString>
#include <QStringList>
#include <QTextStream>
#include <QTreeWidget>
#include <QVector>

#include <memory>

class Data_Calc;
class Data_Line;
class Data_Point;
class Data_Project;
class Data_Sample;
class Pacer;
class QKeyEvent;
class QTimer;
class ReadRetry;
class StoreBacklog;
class WifiName;

// The open project: its database, the whole line / point / sample tree in
// memory, the current selection and the parameters of the selected or
// newest acquisition; shown as a three-level tree (line, point, sample).
// Top-level item i is lines[i], its child j that line's point j, and so
// on: items hold no data of their own, so memory and tree change together.
class DataModel_Index : public QTreeWidget
{
    Q_OBJECT
    Q_PROPERTY(QString SendI READ sendI WRITE SetSendI NOTIFY onSendIChanged)
    Q_PROPERTY(double SendOff READ sendOff WRITE SetSendOff NOTIFY onSendOffChanged)
    Q_PROPERTY(QString ParamFs READ paramFs WRITE SetParamFs NOTIFY onParamFsChanged)
    Q_PROPERTY(int ParamPeriod READ paramPeriod WRITE SetParamPeriod NOTIFY onParamPeriodChanged)
    Q_PROPERTY(int ParamRepeat READ paramRepeat WRITE SetParamRepeat NOTIFY onParamRepeatChanged)
    Q_PROPERTY(double LineNo READ lineNo WRITE setLineNo NOTIFY onLineNoChanged)
    Q_PROPERTY(double PointNo READ pointNo WRITE setPointNo NOTIFY onPointNoChanged)
    Q_PROPERTY(double PointNoStep READ pointNoStep WRITE setPointNoStep NOTIFY onPointNoStepChanged)

public:
    explicit DataModel_Index(QWidget* parent = nullptr);
    ~DataModel_Index() override;

    void setCalc(Data_Calc* processor);
    void setDivideByCurrent(bool divide);
    void setSortPointsByName(bool sort);
    // Replaces the query of the wireless network's name; takes ownership.
    void setWifiNameQuery(WifiName* query);

    // Opens the project file, creating it when it has no project row yet,
    // and loads the whole tree. False when it cannot be opened or created,
    // and when it cannot be written or another program holds it locked:
    // then nothing of it is open.
    bool openProject(const QString& path);
    // Whether the file of the last openProject takes writes.
    ProjectFileAccess::Access openedFileAccess() const { return fileAccess; }
    // Safe to call when nothing is open. Towed records still waiting for
    // the file are let go of.
    void closeProject();

    // Towed records waiting in memory for the file to take writes, and why;
    // Writable while they only wait for their slice of writing.
    int towedWaiting() const;
    ProjectFileAccess::Access towedWaitCause() const;
    // Lets go of them unwritten, as the operator chose.
    void discardTowed();

    // Makes (line, point, sample) the selection and plots it; an index
    // outside its list selects nothing at that level.
    void setIndex(int line, int point, int sample);
    void renamePoint(int line, int point, double name);

    QString sendI() const { return m_sendI; }
    double sendOff() const { return m_sendOff; }
    QString paramFs() const { return m_paramFs; }
    int paramPeriod() const { return m_paramPeriod; }
    int paramRepeat() const { return m_paramRepeat; }
    double lineNo() const { return m_lineNo; }
    double pointNo() const { return m_pointNo; }
    double pointNoStep() const { return m_pointNoStep; }
    // Notify only on a change (a NaN always notifies).
    void setLineNo(double v);
    void setPointNo(double v);
    void setPointNoStep(double v);

signals:
    void onSendIChanged(QString v);
    void onSendOffChanged(double v);
    void onParamFsChanged(QString v);
    void onParamPeriodChanged(int v);
    void onParamRepeatChanged(int v);
    void onLineNoChanged(double v);
    void onPointNoChanged(double v);
    void onPointNoStepChanged(double v);
    // The current line number names a stored line with samples (false), or
    // no stored line or one without samples, whose parameters are free (true).
    void isNewLineChanged(bool isNew);
    // A line profile: title, station numbers, gate times, one matrix row
    // per gate time, and the selected station's column (past the last one
    // when the selected point has none) or -1 for a whole line.
    void onData_Recv_Line(QString title, QVector<double> stations, QVector<double> times,
                          QVector<QVector<double>> datas, int cursor);
    void onSaveOver();
    // A single acquisition was not stored: it is kept, to be saved again
    // or dropped.
    void onSaveFailed();
    // Towed records waiting for the file, or lost, in rich text; empty
    // while every record is written.
    void storeStatusChanged(QString status);
    void towedWaitingChanged(int waiting);
    void onLoadLog(QString note);
    // Export progress: items written so far and the total.
    void onExport(int done, int total);
    // Base frequency, stacks and continue mode of a loaded line.
    void onLoad_Param(double sendFs, int period, int continueMode);
    void onCurUse(bool use);
    // The use flag and notes have an item to act on (true), or none while
    // the status panel shows a record that is not a selected tree item.
    void onCurUseEnabled(bool enabled);
    void onSelectPoint(int lineType);
    void onSelectLine(int lineType);
    void loadProjectConfig(st_ProjectConfig config);

public slots:
    void onNewLog(QString log);
    void onNewUse(bool use);
    // The exports write into a stream the caller opened and never open,
    // close or seek it. Each flushes the stream at its end and fails when a
    // write did not go through (the stream is no longer Ok). The text
    // exports go on past a sample they cannot read, with a warning.
    // A report of the used lines and points; exportDep 1: one block per
    // sample, 0: one per point, else only the headers. exportType is kept
    // for callers and has no effect.
    bool onExportData(QTextStream& out, int exportType, int exportDep);
    // Every used point with samples of every used line as one sounding of
    // a Universal Sounding Format file. Each point is read whole or not at
    // all, and the first that cannot be read ends the file there: then that
    // read is returned, else a failure of the stream or Ok.
    orm::Status onExportData_USF(QTextStream& out);
    // The notes of the used lines, points and samples as a tree.
    bool onExportLog(QTextStream& out);
    // The start time of every used point, line by line.
    bool onExportPointTime(QTextStream& out);
    void onSetTowPoints(int num);
    void slotLineNoChanged(double line);
    void dataUpload(ZOLVA_Data data);
    void dataSave(bool save);
    void setProjectConfig(st_ProjectConfig config);
    // Stores the wireless network's name in the project open now, once it
    // is known.
    void setWifiName();
    void updateDatabase();
    void SetSendI(double v);
    void SetSendI(QString v);
    void SetSendOff(double v);
    void SetParamFs(double v);
    void SetParamFs(QString v);
    void SetParamPeriod(int v);
    void SetParamRepeat(int v);
    void onChangePointNameDl(QPoint point);
    void onDoubleClicked(QModelIndex index);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void rowsInserted(const QModelIndex& parent, int start, int end) override;

private:
    // What a store takes from the record; line and point come from the
    // properties, not from the record.
    struct StoreHeader
    {
        double LineNo = 0.0;
        double PointNo = 0.0;
        quint8 SampleMode = 0;
        quint8 ContinueMode = 0;
        float ParamFs = 0.0f;
        qint32 ParamPeriod = 0;
        qint32 ParamRepeat = 0;
    };

    bool loadTree();
    void fillTree();
    // Each true once committed.
    bool saveData(const ZOLVA_Data& record);
    ProjectFileAccess::Access storeTowed(const ZOLVA_Data& record);
    bool addPoint(const StoreHeader& header, const QList<st_SampleData_Send>& sends,
                  const QList<st_RecvData_VRX2208>& recvs, int sampleMode);
    bool addPointTimed(const StoreHeader& header, const st_SampleData_Send& send, const st_RecvData_VRX2208& recv);
    // A new line row, inside the store's transaction; null when it fails.
    std::shared_ptr<Data_Line> insertLine(double name, int type);
    // After the commit: the tree item of the stored line, which becomes
    // `line` and gets an item of its own when it is new.
    QTreeWidgetItem* adoptLine(const std::shared_ptr<Data_Line>& newLine, int lineRow,
                               std::shared_ptr<Data_Line>& line);
    void selectPoint(const std::shared_ptr<Data_Line>& line, int point, int sample);
    // The whole line's profile, on the spot or from the pool.
    void profileLine(const std::shared_ptr<Data_Line>& line);
    void readSelectionAgain();
    // Told, and tried again while the file is held.
    void selectionNotRead(const orm::Status& read);
    // A point or sample read whole is shown; one not read is not.
    void pointNotRead(const orm::Status& read);
    void pointRead(int lineType);
    // The cursor on the column of the point at `selected` in the line.
    void showWindowProfile(const LineProfile& profile, int selected, int lineNumber);
    void showLongLineProfile(const std::shared_ptr<Data_Line>& line, int lineNumber, const LineProfile& profile);
    void showLineProfile(const LineProfile& profile, int cursor, int lineNumber);
    void storeWifiName(const QString& name);
    // Row of the line named `name` in lines, or -1.
    int findLine(double name) const;
    // Runs `write` in one transaction; true once it is committed.
    template <class Write>
    bool inTransaction(Write write);
    // A write inside inTransaction; a failure is logged, and its error kept.
    bool written(const orm::Status& status, const char* what);
    // What the last failed transaction tells of the file.
    ProjectFileAccess::Access writeFailure() const;
    // "<what>失败,<cause>" for the last failed transaction.
    QString failureText(const QString& what) const;
    // A warning box; one asked for while another is open follows it.
    void tell(const QString& text);
    // Told once the store that failed has returned to the collector.
    void tellLater(const QString& text);
    void showStoreStatus();
    // Writes `columns` of object's row as `set` makes them, and changes the
    // object only once that is committed.
    template <class T, class Set>
    bool writeColumns(T& object, const QStringList& columns, Set set);
    // Calls f with the selected sample, else point, else line; nothing
    // without a selected line.
    template <class F>
    void withSelection(F f);
    void setSelectionShown(bool shown);

    QSqlDatabase database;
    QVector<std::shared_ptr<Data_Line>> lines;
    std::shared_ptr<Data_Project> project;
    int curLine = -1;
    int curPoint = -1;
    int curSample = -1;
    // The status panel shows the selection's values: only then do the use
    // flag and notes act on it.
    bool selectionShown = false;
    Data_Calc* calc = nullptr;
    bool sortByName = true;
    int towPoints = 60;
    bool divideByCurrent = false;
    QString m_sendI;
    double m_sendOff = 0.0;
    QString m_paramFs;
    int m_paramPeriod = 0;
    int m_paramRepeat = 0;
    double m_lineNo = 10.0;
    double m_pointNo = 0.0;
    double m_pointNoStep = 0.0;
    ZOLVA_Data lastData;
    st_ProjectConfig projectConfig;
    int expandedLine = -1;
    // Lays out again the rows of open items that rows were appended to.
    Pacer* appendedRows = nullptr;
    // Raised by every close: results asked for before belong to a project
    // that is gone.
    quint64 session = 0;
    LineProfileQueue longLineProfiles;
    WifiName* wifiName = nullptr;
    quint64 wifiSession = 0;
    ProjectFileAccess::Access fileAccess = ProjectFileAccess::Unknown;
    QSqlError writeError;
    StoreBacklog* towedBacklog = nullptr;
    ReadRetry* unreadSelection = nullptr;
    QTimer* wifiNameRetry = nullptr;
    QString pendingWifiName;
};
