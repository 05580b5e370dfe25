#include "project/DataModel_Index.h"

#include "orm/Dao.h"
#include "orm/Database.h"
#include "orm/Registry.h"
#include "orm/SqlTypes.h"
#include "platform/DialogHook.h"
#include "platform/WifiName.h"
#include "project/Data_Calc.h"
#include "project/Data_Line.h"
#include "project/Data_Point.h"
#include "project/Data_Project.h"
#include "project/Data_Sample.h"
#include "project/Data_WorkSet.h"
#include "project/LineSnapshot.h"
#include "project/Pacer.h"
#include "project/PointRows.h"
#include "project/ProjectFileAccess.h"
#include "project/ReadRetry.h"
#include "project/StoreBacklog.h"
#include "project/TransmitWaveform.h"
#include "project/TreeLabels.h"
#include "project/VectorBlob.h"

#include <QKeyEvent>
#include <QMetaType>
#include <QScroller>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTimer>
#include <QtDebug>

#include <algorithm>
#include <climits>
#include <cmath>

namespace {

const QString kNoteSeparator = QStringLiteral("\r\n\r\n");
// The shortest pause between two intakes, by the view, of rows appended to
// an open item.
constexpr int kAppendedRowsPauseMs = 500;
// The longest line profiled on the GUI thread.
constexpr int kLargestSynchronousProfile = 600;
// How long an open waits for another program's lock on the file, instead
// of the connection's own wait at every statement.
constexpr int kOpenLockWaitMs = 500;
// How long a write waits for another program's lock on the open file
// before it fails, the window waiting with it.
constexpr int kWriteWaitMs = 100;
// What towed records waiting for a file that takes no writes may weigh in
// memory, whatever their kind: some 2600 gated records of 25 kB (17 min of
// towing at 12.5 Hz and 5 periods), or some 40 full-waveform ones of 1.5 MB,
// and a field tablet keeps its memory.
constexpr qint64 kTowedWaitingBytes = 64 * 1024 * 1024;
constexpr int kTowedRetryMs = 1000;
constexpr int kTowedStreakQuietMs = 30000;
// How often the network name is tried again while another program holds
// the file.
constexpr int kWifiNameRetryMs = 1000;
// Gaps named in the box that tells records lost; the log has every one.
constexpr int kGapsTold = 5;
// How often a selection that another program's lock kept from being read
// is tried again; each try costs the window one lock wait at most.
constexpr int kSelectionRetryMs = 1000;

// Lines and points are found by number within this distance.
bool sameNumber(double a, double b)
{
    return std::abs(a - b) < 1e-6;
}

bool succeeded(const orm::Status& status, const char* what)
{
    if (!status.isOk())
        qWarning("%s: %s", what, qPrintable(status.error().text()));
    return status.isOk();
}

// A line's number in labels: its NAME truncated to an int, within the int
// range, since one read from a damaged file may lie beyond it.
int lineNumberOf(double name)
{
    return std::isnan(name) ? 0 : static_cast<int>(std::clamp(std::trunc(name), double(INT_MIN), double(INT_MAX)));
}

// Only a point with samples tells its line's frequency and stacks.
const Data_Point* newestSampled(const Data_Line& line)
{
    for (auto it = line.list_Data_Point.crbegin(); it != line.list_Data_Point.crend(); ++it) {
        if (!(*it)->list_Data_Sample.isEmpty())
            return it->get();
    }
    return nullptr;
}

// What a loaded sample holds in memory: the curves stay in the file.
std::shared_ptr<Data_Sample> lightCopy(const Data_Sample& sample)
{
    auto light = std::make_shared<Data_Sample>(sample.ID);
    light->USE = sample.USE;
    light->PERIOD = sample.PERIOD;
    light->SendFs = sample.SendFs;
    light->StartTime = sample.StartTime;
    return light;
}

Data_Sample sampleRow(int pointId, int period, float paramFs, const st_SampleData_Send& send,
                      const st_RecvData_VRX2208& recv)
{
    Data_Sample s;
    s.StartTime = recv.StartTime;
    s.DeviceType = 1;
    s.TYPE = recv.TYPE;
    s.PERIOD = period;
    s.DATA_RECV = vectorToBlob(recv.values);
    s.DATA_RECV_POS = vectorToBlob(recv.times);
    s.DATA_RECV_LEN = vectorToBlob(recv.widths);
    s.DATA_SEND = send.DATA_SEND;
    s.DATA_SOFF = send.DATA_SOFF;
    s.SendFs = static_cast<double>(paramFs);
    s.SampleSendFs = send.SampleSendFs;
    s.SampleOffFs = send.SampleOffFs;
    s.RecvFs = recv.RecvFs;
    s.USE = 1;
    s.Data_PointID = std::make_shared<Data_Point>(pointId);
    return s;
}

// The transmitter rows of a record's stored samples, one per receiver record.
QList<st_SampleData_Send> sendRows(const ZOLVA_Data& record)
{
    QList<st_SampleData_Send> sends;
    for (int i = 0; i < record.recvs.size(); ++i) {
        const st_TEMSendData& send = record.sends.at(i);
        st_SampleData_Send row;
        row.SendFs = static_cast<double>(record.ParamFs);
        row.SampleSendFs = send.SampleSendFs;
        row.DATA_SEND = vectorToBlob(send.SendWave);
        row.SampleOffFs = send.SampleOffFs;
        row.DATA_SOFF = vectorToBlob(send.OffWave);
        sends.append(row);
    }
    return sends;
}

QTreeWidgetItem* newItem(const QString& text)
{
    return new QTreeWidgetItem(QStringList(text));
}

// The curves that showing an item read into the objects of the tree; a
// day of browsing must not keep them all.
void releaseCurves(Data_Line&)
{
}

void releaseCurves(Data_Sample& sample)
{
    sample.releaseCurves();
}

void releaseCurves(Data_Point& point)
{
    for (const std::shared_ptr<Data_Sample>& sample : qAsConst(point.list_Data_Sample))
        releaseCurves(*sample);
}

} // namespace

DataModel_Index::DataModel_Index(QWidget* parent)
    : QTreeWidget(parent)
{
    setColumnCount(1);
    setHeaderHidden(true);
    setAllColumnsShowFocus(true);
    setAlternatingRowColors(true);
    setContextMenuPolicy(Qt::CustomContextMenu);
    QScroller::grabGesture(viewport(), QScroller::LeftMouseButtonGesture);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    setAutoScroll(false);
    // Every row is one line of text: rows are measured once, not each of a
    // towed line's points again whenever a point joins it.
    setUniformRowHeights(true);
    appendedRows = new Pacer(
        kAppendedRowsPauseMs,
        [this] {
            scheduleDelayedItemsLayout();
            executeDelayedItemsLayout();
        },
        this);

    SetSendI(0.0);
    SetParamFs(0.0);

    connect(this, &QWidget::customContextMenuRequested, this, &DataModel_Index::onChangePointNameDl);
    connect(this, &QAbstractItemView::doubleClicked, this, &DataModel_Index::onDoubleClicked);

    qRegisterMetaType<QVector<QVector<double>>>("QVector<QVector<double> >");
    qRegisterMetaType<QVector<double>>("QVector<double>");
    connect(&longLineProfiles, &LineProfileQueue::profiled, this, &DataModel_Index::showLongLineProfile);

    setWifiNameQuery(new WifiName);
    unreadSelection = new ReadRetry(
        kSelectionRetryMs, [this] { readSelectionAgain(); }, this);
    connect(unreadSelection, &ReadRetry::changed, this, &DataModel_Index::showStoreStatus);

    towedBacklog = new StoreBacklog(
        kTowedWaitingBytes, kTowedRetryMs, kTowedStreakQuietMs,
        [this](const ZOLVA_Data& record) { return storeTowed(record); }, this);
    connect(towedBacklog, &StoreBacklog::streakBegan, this, [this] {
        const QString cause = ProjectFileAccess::cause(towedBacklog->cause());
        qWarning("towed records wait in memory for the project file: %s", qPrintable(cause));
        tellLater(QStringLiteral("数据添加失败,%1\n记录暂存于内存（最多 %2 MB），工程文件可写入后按顺序补存")
                      .arg(cause)
                      .arg(kTowedWaitingBytes / (1024 * 1024)));
    });
    connect(towedBacklog, &StoreBacklog::changed, this, [this] {
        showStoreStatus();
        emit towedWaitingChanged(towedBacklog->waiting());
    });
    connect(towedBacklog, &StoreBacklog::streakEnded, this, [this](int lost) {
        if (lost == 0)
            return;
        // Lost while nothing failed: the records came faster than the file
        // was written.
        const QString cause = towedBacklog->cause() == ProjectFileAccess::Writable
            ? QStringLiteral("工程文件写入速度跟不上")
            : ProjectFileAccess::cause(towedBacklog->cause());
        qWarning("%d towed records lost: the project file took no writes (%s)", lost, qPrintable(cause));
        QString text = QStringLiteral("%1 条拖曳记录未能写入工程文件,%2").arg(lost).arg(cause);
        const QVector<StoreBacklog::Gap> gaps = towedBacklog->gaps();
        for (int i = 0; i < gaps.size() && i < kGapsTold; ++i)
            text += QStringLiteral("\n缺 %1 至 %2，%3 条")
                        .arg(TreeLabels::timedPoint(gaps.at(i).firstMs), TreeLabels::timedPoint(gaps.at(i).lastMs))
                        .arg(gaps.at(i).count);
        if (gaps.size() > kGapsTold)
            text += QStringLiteral("\n……");
        tellLater(text);
    });

    wifiNameRetry = new QTimer(this);
    wifiNameRetry->setSingleShot(true);
    wifiNameRetry->setInterval(kWifiNameRetryMs);
    connect(wifiNameRetry, &QTimer::timeout, this, [this] { storeWifiName(pendingWifiName); });
}

DataModel_Index::~DataModel_Index() = default;

void DataModel_Index::setWifiNameQuery(WifiName* query)
{
    delete wifiName;
    wifiName = query;
    wifiName->setParent(this);
    connect(wifiName, &WifiName::nameFound, this, &DataModel_Index::storeWifiName);
}

void DataModel_Index::setCalc(Data_Calc* processor)
{
    calc = processor;
}

void DataModel_Index::setDivideByCurrent(bool divide)
{
    divideByCurrent = divide;
}

void DataModel_Index::setSortPointsByName(bool sort)
{
    sortByName = sort;
}

void DataModel_Index::onSetTowPoints(int num)
{
    towPoints = num;
}

// ---- properties

void DataModel_Index::SetSendI(double v)
{
    SetSendI(v - std::trunc(v) >= 0.1 ? QString::number(v, 'f', 1) : QString::number(v, 'f', 0));
}

void DataModel_Index::SetSendI(QString v)
{
    m_sendI = v;
    emit onSendIChanged(m_sendI);
}

void DataModel_Index::SetSendOff(double v)
{
    m_sendOff = v;
    emit onSendOffChanged(m_sendOff);
}

void DataModel_Index::SetParamFs(double v)
{
    // In doubles: thousandths of a frequency read from a damaged file, or
    // of one above 2 MHz, do not fit an int. NaN and infinities keep 3.
    const double m = std::trunc(1000 * v);
    const int decimals = std::fmod(m, 10) != 0 ? 3 : std::fmod(m, 100) != 0 ? 2 : std::fmod(m, 1000) != 0 ? 1 : 0;
    SetParamFs(QString::number(v, 'f', decimals));
}

void DataModel_Index::SetParamFs(QString v)
{
    m_paramFs = v;
    emit onParamFsChanged(m_paramFs);
}

void DataModel_Index::SetParamPeriod(int v)
{
    m_paramPeriod = v;
    emit onParamPeriodChanged(m_paramPeriod);
}

void DataModel_Index::SetParamRepeat(int v)
{
    m_paramRepeat = v;
    emit onParamRepeatChanged(m_paramRepeat);
}

void DataModel_Index::setLineNo(double v)
{
    if (v == m_lineNo)
        return;
    m_lineNo = v;
    emit onLineNoChanged(m_lineNo);
}

void DataModel_Index::setPointNo(double v)
{
    if (v == m_pointNo)
        return;
    m_pointNo = v;
    emit onPointNoChanged(m_pointNo);
}

void DataModel_Index::setPointNoStep(double v)
{
    if (v == m_pointNoStep)
        return;
    m_pointNoStep = v;
    emit onPointNoStepChanged(m_pointNoStep);
}

// ---- project file

bool DataModel_Index::openProject(const QString& path)
{
    closeProject();

    orm::ConnectionSettings settings;
    settings.driverName = QStringLiteral("QSQLITE");
    settings.databaseName = path;
    settings.hostName = QStringLiteral("localhost");
    settings.userName = QStringLiteral("root");
    orm::Database::setSettings(settings);
    orm::SqlTypes::set(QStringLiteral("double"), QStringLiteral("REAL"));

    // Before any other statement, each of which would wait out a lock.
    fileAccess = ProjectFileAccess::probe(orm::Database::connection(), kOpenLockWaitMs);
    if (fileAccess == ProjectFileAccess::ReadOnly || fileAccess == ProjectFileAccess::Locked) {
        closeProject();
        return false;
    }

    // An existing file has its tables already; only a damaged one stops here.
    const orm::Status created[] = {orm::createTable<Data_Project>(), orm::createTable<Data_Line>(),
                                   orm::createTable<Data_Point>(), orm::createTable<Data_Sample>(),
                                   orm::createTable<Data_WorkSet>()};
    for (const orm::Status& status : created) {
        if (status.error().databaseText().contains(QLatin1String("malformed"))) {
            DialogHook::warning(this, QStringLiteral("警告"), QStringLiteral("工程文件损坏"));
            return false;
        }
    }

    orm::Status status;
    database = orm::Database::connection(&status);
    if (!succeeded(status, "project file cannot be opened")) {
        closeProject();
        return false;
    }
    updateDatabase();

    // The network name is written on its own when the units connect. A file
    // whose project row is not 1 (another writer, a repair by hand) keeps
    // its own row, the lowest ID, rather than gain a new one at each open.
    QVector<std::shared_ptr<Data_Project>> rows;
    status = orm::fetchByQuery(orm::Query{QStringLiteral("ORDER BY [ID] = 1 DESC, [ID] LIMIT 1"), {}}, rows,
                               orm::columnsExcept<Data_Project>({QStringLiteral("SSID")}), database);
    if (!succeeded(status, "project row cannot be read")) {
        closeProject();
        return false;
    }
    project = rows.isEmpty() ? std::make_shared<Data_Project>(1) : rows.first();
    projectConfig = project->getProjectConfig();
    emit loadProjectConfig(projectConfig);
    setPointNoStep(projectConfig.PointNoStep);

    if (rows.isEmpty()) {
        Data_WorkSet workSet;
        const bool createdRows = inTransaction([&] {
            return succeeded(orm::insert(*project, database), "project row cannot be written")
                && succeeded(orm::insert(workSet, database), "work set cannot be written");
        });
        if (!createdRows) {
            closeProject();
            return false;
        }
    }

    if (!loadTree()) {
        closeProject();
        DialogHook::warning(this, QStringLiteral("警告"), QStringLiteral("工程文件损坏"));
        return false;
    }
    fillTree();
    // A write under another program's lock fails soon and is told, or
    // waits in memory, instead of holding the window for the driver's 5 s.
    QSqlQuery wait(database);
    if (!wait.exec(QStringLiteral("PRAGMA busy_timeout = %1").arg(kWriteWaitMs)))
        qWarning("lock wait not set: %s", qPrintable(wait.lastError().text()));

    // Acquisition goes on after the newest point, the one with the greatest ID.
    std::shared_ptr<Data_Line> newestLine;
    std::shared_ptr<Data_Point> newestPoint;
    for (const std::shared_ptr<Data_Line>& line : qAsConst(lines)) {
        for (const std::shared_ptr<Data_Point>& point : qAsConst(line->list_Data_Point)) {
            if (point->ID > (newestPoint ? newestPoint->ID : 0)) {
                newestLine = line;
                newestPoint = point;
            }
        }
    }
    double lineNumber = 0.0;
    double base = 0.0;
    double sendFs = 25.0;
    int period = 500;
    int lineType = 0;
    bool sampled = true;
    if (newestPoint) {
        lineNumber = newestLine->NAME;
        base = newestLine->TYPE == 0 ? newestPoint->NAME : 0.0;
        sendFs = newestPoint->GetSendFs();
        period = newestLine->list_Data_Point.first()->GetPeriod();
        lineType = newestLine->TYPE;
        sampled = !newestPoint->list_Data_Sample.isEmpty();
    }

    if (lines.isEmpty()) {
        emit isNewLineChanged(true);
    } else {
        setLineNo(lineNumber);
        setPointNo(base + projectConfig.PointNoStep);
        // Without samples the newest point would tell 0 Hz; the line's
        // newest point with samples tells the frequency below, if it has one.
        if (sampled)
            emit onLoad_Param(sendFs, period, lineType);
        slotLineNoChanged(lineNumber);
    }
    return true;
}

bool DataModel_Index::loadTree()
{
    // One query per table and 500 parents, never one per point; sample
    // curves stay in the file.
    const QStringList sampleColumns{QStringLiteral("USE"), QStringLiteral("PERIOD"), QStringLiteral("SendFs"),
                                    QStringLiteral("StartTime")};
    const QStringList pointOrder = sortByName ? QStringList{QStringLiteral("NAME")} : QStringList();
    QVector<std::shared_ptr<Data_Line>> loaded;
    QVector<std::shared_ptr<Data_Point>> points;
    QVector<std::shared_ptr<Data_Sample>>* noList = nullptr;
    orm::Status status = orm::fetchByQuery(orm::Query{QStringLiteral("ORDER BY [ID]"), {}}, loaded, {}, database);
    if (status.isOk())
        status = orm::fetchChildren(loaded, &Data_Line::list_Data_Point, {}, pointOrder, &points, database);
    if (status.isOk())
        status = orm::fetchChildren(points, &Data_Point::list_Data_Sample, sampleColumns, {}, noList, database);
    if (!succeeded(status, "project tree cannot be read"))
        return false;
    lines = loaded;
    return true;
}

void DataModel_Index::fillTree()
{
    QList<QTreeWidgetItem*> lineItems;
    for (const std::shared_ptr<Data_Line>& line : qAsConst(lines)) {
        QTreeWidgetItem* lineItem = newItem(TreeLabels::line(line->NAME, line->list_Data_Point.size()));
        QList<QTreeWidgetItem*> pointItems;
        for (const std::shared_ptr<Data_Point>& point : qAsConst(line->list_Data_Point)) {
            // The start time is the first sample's, loaded with the tree.
            const std::shared_ptr<Data_Sample> first = point->list_Data_Sample.value(0);
            QTreeWidgetItem* pointItem = nullptr;
            if (line->TYPE == 1) {
                pointItem = newItem(first ? TreeLabels::timedPoint(first->StartTime) : QString());
            } else {
                pointItem = newItem(TreeLabels::loadedPoint(point->NAME, point->sampleMode() == 1));
                if (first)
                    pointItem->setToolTip(0, TreeLabels::startTime(first->StartTime));
            }
            if (line->TYPE == 0) {
                QList<QTreeWidgetItem*> sampleItems;
                for (int k = 0; k < point->list_Data_Sample.size(); ++k)
                    sampleItems.append(newItem(QString::number(k + 1)));
                pointItem->addChildren(sampleItems);
            }
            pointItems.append(pointItem);
        }
        lineItem->addChildren(pointItems);
        lineItems.append(lineItem);
    }
    addTopLevelItems(lineItems);
}

void DataModel_Index::closeProject()
{
    // The window asks the operator before it closes a file that records
    // still wait for.
    towedBacklog->discard();
    wifiNameRetry->stop();
    // A profile task reads the file on a connection that is dropped here.
    longLineProfiles.cancel();
    unreadSelection->clear();
    ++session;
    clear();
    lines.clear();
    curLine = curPoint = curSample = -1;
    expandedLine = -1;
    if (database.isOpen())
        database.close();
    database = QSqlDatabase();
    orm::Database::dropAll();
    // The status panel shows no record of a closed project.
    SetSendI(0.0);
    SetSendOff(0.0);
    SetParamFs(0.0);
    SetParamPeriod(0);
    SetParamRepeat(0);
    emit onCurUse(false);
    setSelectionShown(false);
}

void DataModel_Index::updateDatabase()
{
    // Files made by older versions lack later columns; a column that exists
    // and an index made before are left alone.
    const QStringList tables = database.tables();
    QStringList statements;
    for (const orm::ClassInfo* info : orm::Registry::classes()) {
        if (!tables.contains(info->name()))
            continue;
        const QSqlRecord existing = database.record(info->name());
        for (const orm::ColumnInfo& column : info->columns()) {
            if (column.kind != orm::ColumnKind::Id && !existing.contains(column.name))
                statements.append(QStringLiteral("ALTER TABLE %1 ADD COLUMN %2 %3;")
                                      .arg(info->name(), column.name, column.sqlType()));
            if (column.properties.contains(QStringLiteral("INDEX")))
                statements.append(
                    QStringLiteral("CREATE INDEX IF NOT EXISTS IDX_%1_%2_ ON %1 (%2);").arg(info->name(), column.name));
        }
    }
    statements.append(
        QStringLiteral("CREATE INDEX IF NOT EXISTS IDX_Data_Point_Data_LineID_ ON Data_Point (Data_LineID);"));
    statements.append(
        QStringLiteral("CREATE INDEX IF NOT EXISTS IDX_Data_Sample_Data_PointID_ ON Data_Sample (Data_PointID);"));

    QSqlQuery query(database);
    for (const QString& sql : qAsConst(statements)) {
        if (!query.exec(sql))
            qWarning("schema update: %s: %s", qPrintable(sql), qPrintable(query.lastError().text()));
    }
}

// ---- tree

int DataModel_Index::findLine(double name) const
{
    for (int i = 0; i < lines.size(); ++i) {
        if (sameNumber(lines.at(i)->NAME, name))
            return i;
    }
    return -1;
}

void DataModel_Index::slotLineNoChanged(double line)
{
    const int row = findLine(line);
    double next = 0.0;
    const Data_Point* sampled = nullptr;
    if (row >= 0) {
        const Data_Line& found = *lines.at(row);
        emit onSelectPoint(found.TYPE);
        sampled = newestSampled(found);
        if (sampled) {
            const Data_Sample& first = *sampled->list_Data_Sample.first();
            emit onLoad_Param(first.SendFs, first.PERIOD, found.TYPE);
        }
        if (!found.list_Data_Point.isEmpty())
            next = found.list_Data_Point.last()->NAME + m_pointNoStep;
    }
    setProperty("PointNo", next);
    // A line with no samples fixes no parameters: they stay free, as on a
    // new line.
    emit isNewLineChanged(!sampled);
}

void DataModel_Index::onDoubleClicked(QModelIndex index)
{
    int line = index.row();
    int point = -1;
    int sample = -1;
    if (index.parent().isValid()) {
        if (index.parent().parent().isValid()) {
            line = index.parent().parent().row();
            point = index.parent().row();
            sample = index.row();
        } else {
            line = index.parent().row();
            point = index.row();
        }
    }
    if (line != expandedLine) {
        if (QTreeWidgetItem* previous = topLevelItem(expandedLine))
            previous->setExpanded(false);
        expandedLine = line;
    }
    setIndex(line, point, sample);
}

void DataModel_Index::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)
        onDoubleClicked(currentIndex());
    QTreeWidget::keyPressEvent(event);
}

// The view lays out every row of an open item again for each row appended
// to it: an open towed line would cost more with every point stored.
// Appended rows are taken in at a pace instead; memory and items stay in
// step at once, only the view shows the newest rows a moment later.
void DataModel_Index::rowsInserted(const QModelIndex& parent, int start, int end)
{
    if (!parent.isValid() || !isExpanded(parent) || end + 1 != model()->rowCount(parent)) {
        QTreeWidget::rowsInserted(parent, start, end);
        return;
    }
    QAbstractItemView::rowsInserted(parent, start, end);
    appendedRows->Request();
}

// ---- editing

// The driver's own transaction calls keep only the text of a failure, not
// the code that tells a held file from a full disk.
template <class Write>
bool DataModel_Index::inTransaction(Write write)
{
    writeError = QSqlError();
    QSqlQuery control(database);
    if (!control.exec(QStringLiteral("BEGIN"))) {
        writeError = control.lastError();
        qWarning("transaction cannot begin: %s", qPrintable(writeError.text()));
        return false;
    }
    if (write()) {
        if (control.exec(QStringLiteral("COMMIT")))
            return true;
        writeError = control.lastError();
        qWarning("commit failed: %s", qPrintable(writeError.text()));
    }
    // A full disk may have rolled it back already.
    control.exec(QStringLiteral("ROLLBACK"));
    return false;
}

bool DataModel_Index::written(const orm::Status& status, const char* what)
{
    if (!status.isOk())
        writeError = status.error();
    return succeeded(status, what);
}

ProjectFileAccess::Access DataModel_Index::writeFailure() const
{
    const ProjectFileAccess::Access access = ProjectFileAccess::accessAfter(writeError);
    return access == ProjectFileAccess::Writable ? ProjectFileAccess::Unknown : access;
}

QString DataModel_Index::failureText(const QString& what) const
{
    return what + QStringLiteral("失败,") + ProjectFileAccess::cause(writeFailure());
}

void DataModel_Index::tell(const QString& text)
{
    DialogHook::warning(this, QStringLiteral("警告"), text);
}

void DataModel_Index::tellLater(const QString& text)
{
    QMetaObject::invokeMethod(
        this, [this, text] { tell(text); }, Qt::QueuedConnection);
}

void DataModel_Index::showStoreStatus()
{
    QString status;
    if (towedBacklog->failing())
        status = QStringLiteral("<p style='color:red;'>%1，%2 条待存</p>")
                     .arg(ProjectFileAccess::cause(towedBacklog->cause()))
                     .arg(towedBacklog->waiting());
    else if (towedBacklog->waiting() > 0)
        status = QStringLiteral("<p>正在写入工程文件，%1 条待存</p>").arg(towedBacklog->waiting());
    if (towedBacklog->lost() > 0)
        status += QStringLiteral("<p style='color:red;'>未存记录 %1</p>").arg(towedBacklog->lost());
    emit storeStatusChanged(status + unreadSelection->status());
}

template <class T, class Set>
bool DataModel_Index::writeColumns(T& object, const QStringList& columns, Set set)
{
    T row(object.ID);
    set(row);
    if (!inTransaction([&] { return written(orm::update(row, columns, database), "row cannot be written"); }))
        return false;
    set(object);
    return true;
}

template <class F>
void DataModel_Index::withSelection(F f)
{
    if (curLine < 0 || curLine >= lines.size())
        return;
    Data_Line& line = *lines.at(curLine);
    if (curPoint < 0 || curPoint >= line.list_Data_Point.size()) {
        f(line);
        return;
    }
    Data_Point& point = *line.list_Data_Point.at(curPoint);
    if (curSample < 0 || curSample >= point.list_Data_Sample.size()) {
        f(point);
        return;
    }
    f(*point.list_Data_Sample.at(curSample));
}

void DataModel_Index::setSelectionShown(bool shown)
{
    selectionShown = shown;
    emit onCurUseEnabled(shown);
}

// An edit the file did not take is told, and the panels show again what
// the file holds: the objects change only once a write is committed.
void DataModel_Index::onNewLog(QString log)
{
    if (!selectionShown)
        return;
    bool stored = true;
    withSelection([&](auto& target) {
        const QString note = target.NOTE.isEmpty() ? log : target.NOTE + kNoteSeparator + log;
        stored = writeColumns(target, {QStringLiteral("NOTE")}, [&](auto& row) { row.NOTE = note; });
        if (stored)
            emit onLoadLog(note);
    });
    if (!stored)
        tell(failureText(QStringLiteral("备注添加")));
}

void DataModel_Index::onNewUse(bool use)
{
    if (!selectionShown)
        return;
    bool stored = true;
    withSelection([&](auto& target) {
        stored = writeColumns(target, {QStringLiteral("USE")}, [use](auto& row) { row.USE = use ? 1 : 0; });
        if (!stored)
            emit onCurUse(target.USE != 0);
    });
    if (!stored)
        tell(failureText(QStringLiteral("启用状态修改")));
}

void DataModel_Index::setProjectConfig(st_ProjectConfig config)
{
    projectConfig = config;
    if (!project)
        return;
    const QStringList columns = orm::columnsExcept<Data_Project>(
        {QStringLiteral("ID"), QStringLiteral("NOTE"), QStringLiteral("CalibrateNo"), QStringLiteral("SSID")});
    if (writeColumns(*project, columns, [&config](Data_Project& row) { row.setProjectConfig(&config); }))
        return;
    projectConfig = project->getProjectConfig();
    emit loadProjectConfig(projectConfig);
    setPointNoStep(projectConfig.PointNoStep);
    tell(failureText(QStringLiteral("工程设置保存")));
}

void DataModel_Index::onChangePointNameDl(QPoint point)
{
    const QModelIndex index = indexAt(point);
    if (!index.parent().isValid() || index.parent().parent().isValid())
        return;
    bool isNumber = false;
    index.data().toString().toDouble(&isNumber);
    const int line = index.parent().row();
    if (!isNumber || line >= lines.size() || index.row() >= lines.at(line)->list_Data_Point.size())
        return;

    const double stored = lines.at(line)->list_Data_Point.at(index.row())->NAME;
    bool accepted = false;
    const double name =
        DialogHook::getDouble(this, tr("修改点号"), tr("请输入新的点号:"), stored, -99999999, 99999999, 1, &accepted);
    // The dialog shows one decimal: taking it unchanged is no rename.
    if (accepted && name != stored && name != QString::number(stored, 'f', 1).toDouble())
        renamePoint(line, index.row(), name);
}

void DataModel_Index::renamePoint(int line, int point, double name)
{
    if (line < 0 || line >= lines.size() || point < 0 || point >= lines.at(line)->list_Data_Point.size())
        return;
    Data_Point& target = *lines.at(line)->list_Data_Point.at(point);
    if (!writeColumns(target, {QStringLiteral("NAME")}, [name](Data_Point& row) { row.NAME = name; })) {
        tell(failureText(QStringLiteral("点号修改")));
        return;
    }
    topLevelItem(line)->child(point)->setText(0, TreeLabels::storedPoint(name, false));
}

// ---- storing

void DataModel_Index::dataUpload(ZOLVA_Data data)
{
    // The panel shows a record that is in no tree item, not the selection,
    // until an item is selected again; one not read yet is no longer wanted.
    setSelectionShown(false);
    unreadSelection->clear();
    lastData = data;
    SetParamFs(static_cast<double>(data.ParamFs));
    SetParamPeriod(data.ParamPeriod);
    SetParamRepeat(lastData.sends.size());
    SetSendI(TransmitWaveform::meanSendCurrent(lastData.sends));
    SetSendOff(TransmitWaveform::meanTurnOffTime(lastData.sends));
    if (calc) {
        calc->onData_SendsVec(lastData.sends);
        calc->onData_Recvs(lastData.recvs, m_sendOff, lastData.SampleMode, lastData.ContinueMode);
    }
}

void DataModel_Index::dataSave(bool save)
{
    if (!save) {
        lastData.sends.clear();
        lastData.recvs.clear();
        return;
    }
    if (lastData.sends.isEmpty() || lastData.sends.size() != lastData.recvs.size()) {
        emit onSaveOver();
        return;
    }
    if (lastData.ContinueMode == 1) {
        // Stored on the line towed now, however late the file takes it.
        ZOLVA_Data record = lastData;
        record.LineNo = m_lineNo;
        towedBacklog->store(record);
        setProperty("PointNo", m_pointNo + m_pointNoStep);
        emit onSaveOver();
        return;
    }
    if (!saveData(lastData)) {
        tell(failureText(QStringLiteral("数据添加")));
        emit onSaveFailed();
        return;
    }
    emit onSaveOver();
}

bool DataModel_Index::saveData(const ZOLVA_Data& record)
{
    StoreHeader header;
    header.LineNo = m_lineNo;
    header.PointNo = m_pointNo;
    header.SampleMode = record.SampleMode;
    header.ContinueMode = record.ContinueMode;
    header.ParamFs = record.ParamFs;
    header.ParamPeriod = record.ParamPeriod;
    header.ParamRepeat = record.ParamRepeat;
    if (!addPoint(header, sendRows(record), record.recvs, record.SampleMode))
        return false;
    setProperty("PointNo", m_pointNo + m_pointNoStep);
    emit isNewLineChanged(false);
    return true;
}

ProjectFileAccess::Access DataModel_Index::storeTowed(const ZOLVA_Data& record)
{
    StoreHeader header;
    header.LineNo = record.LineNo;
    header.ContinueMode = 1;
    header.ParamFs = record.ParamFs;
    header.ParamPeriod = record.ParamPeriod;
    header.ParamRepeat = record.ParamRepeat;
    if (!addPointTimed(header, sendRows(record).first(), record.recvs.first()))
        return writeFailure();
    emit isNewLineChanged(false);
    return ProjectFileAccess::Writable;
}

std::shared_ptr<Data_Line> DataModel_Index::insertLine(double name, int type)
{
    auto line = std::make_shared<Data_Line>();
    line->NAME = name;
    line->TYPE = type;
    line->USE = 1;
    if (!written(orm::insert(*line, database), "line cannot be stored"))
        return nullptr;
    return line;
}

QTreeWidgetItem* DataModel_Index::adoptLine(const std::shared_ptr<Data_Line>& newLine, int lineRow,
                                            std::shared_ptr<Data_Line>& line)
{
    if (!newLine)
        return topLevelItem(lineRow);
    line = newLine;
    lines.append(line);
    QTreeWidgetItem* item = newItem(TreeLabels::line(line->NAME, 0));
    addTopLevelItem(item);
    return item;
}

bool DataModel_Index::addPoint(const StoreHeader& header, const QList<st_SampleData_Send>& sends,
                               const QList<st_RecvData_VRX2208>& recvs, int sampleMode)
{
    const int lineRow = findLine(header.LineNo);
    std::shared_ptr<Data_Line> line = lineRow >= 0 ? lines.at(lineRow) : nullptr;
    int pointRow = -1;
    if (line) {
        for (int j = 0; j < line->list_Data_Point.size() && pointRow < 0; ++j) {
            if (sameNumber(line->list_Data_Point.at(j)->NAME, header.PointNo))
                pointRow = j;
        }
    }

    // New rows refer to their parents by ID alone; memory and tree take
    // them only once the whole store is committed.
    std::shared_ptr<Data_Line> newLine;
    std::shared_ptr<Data_Point> newPoint;
    QVector<std::shared_ptr<Data_Sample>> stored;
    const bool committed = inTransaction([&] {
        if (!line && !(newLine = insertLine(header.LineNo, 0)))
            return false;
        int pointId = 0;
        if (pointRow >= 0) {
            pointId = line->list_Data_Point.at(pointRow)->ID;
        } else {
            newPoint = std::make_shared<Data_Point>();
            newPoint->Data_LineID = std::make_shared<Data_Line>(line ? line->ID : newLine->ID);
            newPoint->NAME = header.PointNo;
            newPoint->USE = 1;
            newPoint->TYPE = sampleMode;
            if (!written(orm::insert(*newPoint, database), "point cannot be stored"))
                return false;
            pointId = newPoint->ID;
        }
        for (int i = 0; i < recvs.size(); ++i) {
            Data_Sample sample = sampleRow(pointId, header.ParamPeriod, header.ParamFs, sends.at(i), recvs.at(i));
            if (!written(orm::insert(sample, database), "sample cannot be stored"))
                return false;
            stored.append(lightCopy(sample));
        }
        return true;
    });
    if (!committed)
        return false;
    QTreeWidgetItem* lineItem = adoptLine(newLine, lineRow, line);
    std::shared_ptr<Data_Point> point;
    QTreeWidgetItem* pointItem = nullptr;
    if (newPoint) {
        point = newPoint;
        line->list_Data_Point.append(point);
        pointItem = newItem(TreeLabels::storedPoint(header.PointNo, sampleMode == 1));
        pointItem->setToolTip(0, TreeLabels::startTime(recvs.first().StartTime));
        lineItem->addChild(pointItem);
        lineItem->setText(0, TreeLabels::line(line->NAME, line->list_Data_Point.size()));
    } else {
        point = line->list_Data_Point.at(pointRow);
        point->TYPE = sampleMode;
        pointItem = lineItem->child(pointRow);
    }
    for (const std::shared_ptr<Data_Sample>& sample : qAsConst(stored)) {
        point->list_Data_Sample.append(sample);
        pointItem->addChild(newItem(QString::number(pointItem->childCount() + 1)));
    }
    return true;
}

bool DataModel_Index::addPointTimed(const StoreHeader& header, const st_SampleData_Send& send,
                                    const st_RecvData_VRX2208& recv)
{
    const int lineRow = findLine(header.LineNo);
    std::shared_ptr<Data_Line> line = lineRow >= 0 ? lines.at(lineRow) : nullptr;
    std::shared_ptr<Data_Line> newLine;
    auto point = std::make_shared<Data_Point>();
    std::shared_ptr<Data_Sample> stored;
    const bool committed = inTransaction([&] {
        if (!line && !(newLine = insertLine(header.LineNo, 1)))
            return false;
        // Towed points are numbered by arrival.
        point->Data_LineID = std::make_shared<Data_Line>(line ? line->ID : newLine->ID);
        point->NAME = line ? line->list_Data_Point.size() : 0;
        point->USE = 1;
        point->TYPE = 0;
        if (!written(orm::insert(*point, database), "point cannot be stored"))
            return false;
        Data_Sample sample = sampleRow(point->ID, header.ParamPeriod, header.ParamFs, send, recv);
        if (!written(orm::insert(sample, database), "sample cannot be stored"))
            return false;
        stored = lightCopy(sample);
        return true;
    });
    if (!committed)
        return false;
    QTreeWidgetItem* lineItem = adoptLine(newLine, lineRow, line);
    point->list_Data_Sample.append(stored);
    line->list_Data_Point.append(point);
    lineItem->addChild(newItem(TreeLabels::timedPoint(recv.StartTime)));
    lineItem->setText(0, TreeLabels::line(line->NAME, line->list_Data_Point.size()));
    return true;
}

// ---- selection

// What a selection shows is read whole before any of it is shown: a read
// that the file refuses leaves the panels and plots as they were, the
// status tells why, and under another program's lock the read is tried
// again later. Each read waits for the file once at most.
void DataModel_Index::setIndex(int line, int point, int sample)
{
    withSelection([](auto& shown) { releaseCurves(shown); });
    curLine = line;
    curPoint = point;
    curSample = sample;
    unreadSelection->clear();
    if (line < 0 || line >= lines.size()) {
        setSelectionShown(false);
        emit onLoadLog(QString());
        return;
    }
    const std::shared_ptr<Data_Line> selected = lines.at(line);
    if (point >= 0 && point < selected->list_Data_Point.size()) {
        selectPoint(selected, point, sample);
        return;
    }

    // A line of fewer than two points has no profile, but the panel shows
    // it all the same: the use flag acts on the line it shows.
    setSelectionShown(true);
    profileLine(selected);
    emit onSelectLine(selected->TYPE);
    emit onCurUse(selected->USE != 0);
    emit onLoadLog(selected->NOTE);
    SetSendI(0.0);
    SetSendOff(0.0);
    SetParamFs(0.0);
    SetParamPeriod(0);
    SetParamRepeat(0);
}

void DataModel_Index::readSelectionAgain()
{
    if (curLine < 0 || curLine >= lines.size())
        return;
    const std::shared_ptr<Data_Line> line = lines.at(curLine);
    if (curPoint >= 0 && curPoint < line->list_Data_Point.size())
        selectPoint(line, curPoint, curSample);
    else
        profileLine(line);
}

void DataModel_Index::selectionNotRead(const orm::Status& read)
{
    unreadSelection->failed(ProjectFileAccess::accessAfter(read.error()));
}

void DataModel_Index::pointNotRead(const orm::Status& read)
{
    // Not shown, the point is no item the use flag and notes act on.
    setSelectionShown(false);
    selectionNotRead(read);
}

void DataModel_Index::pointRead(int lineType)
{
    unreadSelection->clear();
    setSelectionShown(true);
    emit onSelectPoint(lineType);
}

void DataModel_Index::profileLine(const std::shared_ptr<Data_Line>& line)
{
    const int count = line->list_Data_Point.size();
    const int lineNumber = lineNumberOf(line->NAME);
    if (count > kLargestSynchronousProfile) {
        longLineProfiles.request(line, lineNumber, divideByCurrent);
        return;
    }
    if (count < 2)
        return;
    const LineProfile profile = LineSnapshot(*line, 0, count - 1).profile(divideByCurrent);
    if (!profile.read.isOk()) {
        selectionNotRead(profile.read);
        return;
    }
    unreadSelection->clear();
    showLineProfile(profile, -1, lineNumber);
}

void DataModel_Index::selectPoint(const std::shared_ptr<Data_Line>& line, int point, int sample)
{
    const int lineNumber = lineNumberOf(line->NAME);
    const std::shared_ptr<Data_Point> selected = line->list_Data_Point.at(point);
    const int sampleMode = selected->checkedType();

    if (sample < 0 || sample >= selected->list_Data_Sample.size()) {
        PointRows rows;
        orm::Status read = PointRows::read(selected->ID, PointRows::usedSamples(*selected), PointRows::shownColumns(),
                                           &rows, database);
        // The towed neighbours: towPoints wide, the selected point inside,
        // shifted where the line ends; the selected point is read once.
        LineProfile window;
        if (succeeded(read, "point cannot be read") && line->TYPE == 1) {
            const int last = qMin(point + towPoints / 2, line->list_Data_Point.size() - 1);
            int first = qMax(point - (towPoints / 2 - 1), 0);
            if (last - first < towPoints - 1)
                first = qMax(last - (towPoints - 1), 0);
            window = LineSnapshot(*line, first, last).profile(divideByCurrent, nullptr, &rows);
            read = window.read;
        }
        if (!read.isOk()) {
            pointNotRead(read);
            return;
        }
        pointRead(line->TYPE);

        // Start time and frequency of the first sample, used or not, as the
        // tree loaded them.
        const std::shared_ptr<Data_Sample> first = selected->list_Data_Sample.value(0);
        const QString label = line->TYPE == 1
            ? QStringLiteral("%1线 %2")
                  .arg(lineNumber)
                  .arg(first ? TreeLabels::timedPoint(first->StartTime) : QString())
            : QStringLiteral("%1线 %2点").arg(lineNumber).arg(QString::number(selected->NAME, 'g'));
        const double offTime = rows.meanOffTime();
        const QList<st_RecvData_VRX2208> recvs = rows.recvs(divideByCurrent);
        emit onCurUse(selected->USE != 0);
        emit onLoadLog(selected->NOTE);
        if (calc)
            calc->onData_SendsByte(rows.sends());
        SetSendI(rows.meanSendI());
        SetSendOff(offTime);
        SetParamFs(first ? first->SendFs : 0.0);
        SetParamPeriod(recvs.isEmpty() ? 0 : rows.period() / recvs.size());
        SetParamRepeat(recvs.size());
        if (calc)
            calc->onShowData_Recvs(label, recvs, offTime, sampleMode);
        if (line->TYPE == 1)
            showWindowProfile(window, point, lineNumber);
        return;
    }

    Data_Sample& chosen = *selected->list_Data_Sample.at(sample);
    const orm::Status read = orm::fetchById(chosen, {}, database);
    if (!succeeded(read, "sample cannot be read")) {
        pointNotRead(read);
        return;
    }
    pointRead(line->TYPE);
    const double offTime = chosen.GetOffTime();
    const QString label =
        QStringLiteral("%1线 %2点 %3采样").arg(lineNumber).arg(QString::number(selected->NAME, 'g')).arg(sample + 1);
    emit onCurUse(chosen.USE != 0);
    emit onLoadLog(chosen.NOTE);
    if (calc) {
        calc->onData_Send(chosen.GetSendData());
        calc->onShowData_Recvs(label, {chosen.GetRecvData_Vrx2208_RAW(divideByCurrent)}, offTime, sampleMode);
    }
    SetSendI(chosen.GetSendI());
    SetSendOff(offTime);
    SetParamFs(chosen.SendFs);
    SetParamPeriod(chosen.PERIOD);
    SetParamRepeat(1);
}

void DataModel_Index::showWindowProfile(const LineProfile& profile, int selected, int lineNumber)
{
    // A point left off the window (unticked, or without a curve) marks no
    // station; -1 would have the window drawn as a whole line.
    const int column = profile.positions.indexOf(selected);
    showLineProfile(profile, column >= 0 ? column : profile.positions.size(), lineNumber);
}

void DataModel_Index::showLongLineProfile(const std::shared_ptr<Data_Line>& line, int lineNumber,
                                          const LineProfile& profile)
{
    // Shown only while that whole line is still the selection.
    const bool selected = curLine >= 0 && curLine < lines.size() && lines.at(curLine) == line
        && (curPoint < 0 || curPoint >= line->list_Data_Point.size());
    if (!selected)
        return;
    if (!profile.read.isOk()) {
        selectionNotRead(profile.read);
        return;
    }
    unreadSelection->clear();
    showLineProfile(profile, -1, lineNumber);
}

void DataModel_Index::showLineProfile(const LineProfile& profile, int cursor, int lineNumber)
{
    if (profile.matrix.isEmpty() || profile.times.isEmpty() || profile.names.isEmpty())
        return;
    emit onData_Recv_Line(tr("%1线").arg(lineNumber), profile.names, profile.times, profile.matrix, cursor);
}

// ---- network name

void DataModel_Index::setWifiName()
{
    if (!project || !database.isOpen())
        return;
    wifiSession = session;
    wifiName->query();
}

void DataModel_Index::storeWifiName(const QString& name)
{
    // The name belongs to the project that was open when the units connected.
    if (wifiSession != session || !project || !database.isOpen())
        return;
    if (writeColumns(*project, {QStringLiteral("SSID")}, [&name](Data_Project& row) { row.SSID = name; }))
        return;
    // A file another program holds takes it once it is let go.
    if (writeFailure() == ProjectFileAccess::Locked) {
        pendingWifiName = name;
        wifiNameRetry->start();
        return;
    }
    tell(failureText(QStringLiteral("网络名称保存")));
}

int DataModel_Index::towedWaiting() const
{
    return towedBacklog->waiting();
}

ProjectFileAccess::Access DataModel_Index::towedWaitCause() const
{
    return towedBacklog->failing() ? towedBacklog->cause() : ProjectFileAccess::Writable;
}

void DataModel_Index::discardTowed()
{
    towedBacklog->discard();
}
