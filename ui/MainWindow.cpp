#include "ui/MainWindow.h"

#include "acquisition/ZOLVA_Collector.h"
#include "platform/DialogHook.h"
#include "project/CurveProcessing.h"
#include "project/DataModel_Index.h"
#include "project/Data_Calc.h"
#include "project/ProjectFileAccess.h"
#include "resources/Resources.h"
#include "ui/BuildTime.h"
#include "ui/Form_SampleControl.h"
#include "ui/Form_Status.h"
#include "ui/FramelessHelper.h"
#include "ui/Graph_Lines.h"
#include "ui/HViewProxyManager.h"
#include "ui/OwedStopWait.h"
#include "ui/PlotFont.h"
#include "ui/PlotMatrix.h"
#include "ui/QwtCompat.h"
#include "ui/RecentProjectList.h"
#include "ui/StyleSheetLoader.h"
#include "ui/TitleBarCaption.h"
#include "ui/TitleBarGlyphs.h"
#include "ui/TransmitCurves.h"
#include "ui/View_Setting.h"
#include "ui_MainWindow.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDebug>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QListView>
#include <QMimeData>
#include <QSaveFile>
#include <QScreen>
#include <QSettings>
#include <QTextStream>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>

#include <utility>

namespace {

const QString ProjectSuffix = QStringLiteral(".ZOLVA");
const QString Version = QStringLiteral("2.4.1");
const QString ReadOnlyProject = QStringLiteral("工程文件属性为 *只读* ，请修改");
const QString OpenFailed = QStringLiteral("打开或创建工程文件失败，请重试！");

// Why the data model did not open a project.
QString openFailure(ProjectFileAccess::Access access)
{
    switch (access) {
    case ProjectFileAccess::ReadOnly:
        return ReadOnlyProject;
    case ProjectFileAccess::Locked:
        return QStringLiteral("工程文件被其他程序占用，请关闭后重试");
    default:
        return OpenFailed;
    }
}

int availableScreenHeight()
{
    return QGuiApplication::primaryScreen()->availableGeometry().height();
}

QFont plotFont(int pixelSize)
{
    QFont font(QStringLiteral("Microsoft YaHei"));
    font.setPixelSize(pixelSize);
    font.setStyleStrategy(QFont::PreferAntialias);
    return font;
}

// The families the style and the graphs name are Windows fonts; elsewhere
// the installed CJK faces stand in for them.
void substituteMissingFonts()
{
    const QStringList cjk = {QStringLiteral("WenQuanYi Micro Hei"), QStringLiteral("Noto Sans CJK SC"),
                             QStringLiteral("DejaVu Sans")};
    for (const QString& family : {QStringLiteral("Microsoft YaHei"), QStringLiteral("SIMSUN")})
        QFont::insertSubstitutions(family, cjk);
}

} // namespace

MainWindow::MainWindow(QWidget* parent)
    : QMainWindow(parent)
    , ui(new Ui::MainWindow)
    , m_uiScale(availableScreenHeight())
    , m_today([] { return QDate::currentDate(); })
{
    m_buildTime = BuildTime::compiled();
    initStyle();
    ui->setupUi(this);
    setWindowFlags(Qt::FramelessWindowHint);

    const QSize screen = QGuiApplication::primaryScreen()->size();
    ui->label_Version->setText(tr("V%1 (Build %2) \r\n%3*%4")
                                   .arg(Version, m_buildTime.toString(QStringLiteral("yyMMdd")))
                                   .arg(screen.width())
                                   .arg(screen.height()));

    ui->tabBar->addTab(QStringLiteral("工程"));
    ui->tabBar->addTab(QStringLiteral("采集"));
    ui->tabBar->addTab(QStringLiteral("设置"));
    ui->tabBar->setCursor(Qt::PointingHandCursor);
    connect(ui->tabBar, &QTabBar::currentChanged, ui->stackedWidget, &QStackedWidget::setCurrentIndex);
    connect(ui->stackedWidget, &QStackedWidget::currentChanged, ui->tabBar, &QTabBar::setCurrentIndex);
    ui->stackedWidget->setCurrentWidget(ui->page_Project);

    m_productName = QStringLiteral("ZOLVA");
    ui->label_ZOLVA->setText(m_productName);
    ui->RecentProject->setAlternatingRowColors(true);

    initTitleBar();
    initProjectModel();
    initGraphs();
    initPanels();
    initComboPopups();
    m_viewProxy = std::make_unique<HViewProxyManager>();
    initDataModel();
    initCollector();
    connectGraphs();

    setProjectOpenState(false);
    loadConfig();
}

MainWindow::~MainWindow()
{
    delete ui;
}

void MainWindow::setDateSource(std::function<QDate()> today)
{
    m_today = std::move(today);
}

QWidget* MainWindow::findChildWidgetByName(QObject* parent, const QString& name)
{
    if (!parent)
        return nullptr;
    for (QObject* child : parent->children()) {
        QWidget* widget = qobject_cast<QWidget*>(child);
        if (!widget)
            continue;
        if (widget->objectName() == name)
            return widget;
        if (QWidget* found = findChildWidgetByName(widget, name))
            return found;
    }
    return nullptr;
}

void MainWindow::initStyle()
{
    setMinimumSize(m_uiScale.minimumWindowSize());
    setStyleSheet(m_uiScale.windowStyleSheet());
    substituteMissingFonts();
    PlotFont::setFont(plotFont(m_uiScale.plotFontPixelSize()));

    ensureResources();
    StyleSheetLoader loader(QStringLiteral(":/etc"));
    for (const auto& variable : m_uiScale.styleVariables())
        loader.setVariable(variable.first, variable.second);
    qApp->setStyleSheet(loader.load(QStringLiteral("style.css")));
    for (const QString& error : loader.errors())
        qWarning().noquote() << error;
}

void MainWindow::initTitleBar()
{
    const TitleBarGlyphs glyphs = TitleBarGlyphs::forInstalledFonts();
    ui->pushButton_Min->setText(glyphs.minimize());
    ui->pushButton_Max->setText(glyphs.maximize(false));
    ui->pushButton_Close->setText(glyphs.close());

    auto* frameless = new FramelessHelper(this);
    frameless->setDraggableMargins(3, 3, 3, 3);
    new TitleBarCaption(ui->widget_title, frameless);
    for (QWidget* control : {static_cast<QWidget*>(ui->btn_Logo), static_cast<QWidget*>(ui->pushButton_Min),
                             static_cast<QWidget*>(ui->pushButton_Max), static_cast<QWidget*>(ui->pushButton_Close),
                             static_cast<QWidget*>(ui->tabBar)})
        frameless->addExcludedWidget(control);

    connect(ui->pushButton_Min, &QPushButton::clicked, frameless, &FramelessHelper::triggerMinimizeButtonAction);
    connect(ui->pushButton_Max, &QPushButton::clicked, frameless, &FramelessHelper::triggerMaximizeButtonAction);
    connect(ui->pushButton_Close, &QPushButton::clicked, frameless, &FramelessHelper::triggerCloseButtonAction);
    // Only the title-bar close writes the configuration, after the window has
    // closed; a close the operator called off writes nothing.
    connect(ui->pushButton_Close, &QPushButton::clicked, this, [this] {
        if (isHidden())
            saveConfig();
        else if (m_afterBacklog == AfterBacklog::Quit)
            m_quitWritesConfig = true;
    });
    connect(frameless, &FramelessHelper::maximizedChanged, this, &MainWindow::showMaximizedState);
    connect(ui->RecentProject, &QListWidget::itemDoubleClicked, this,
            [this](QListWidgetItem* item) { openProject(item->text()); });
}

void MainWindow::initProjectModel()
{
    m_dataModel = new DataModel_Index(this);
    m_calc = new Data_Calc(this);
    CurveProcessing::curveDivisor = 11.0;
    m_dataModel->setCalc(m_calc);
    m_dataModel->setDivideByCurrent(false);
    ui->verticalLayout_5->addWidget(m_dataModel);
}

void MainWindow::initGraphs()
{
    m_graphLine = new Graph_Lines(this);
    m_graphLine->setObjectName(QStringLiteral("graph_Line"));
    m_graphLine->setGraphTitle(QStringLiteral("当前线"), true);
    m_graphLine->setAxisX(true, false, 10, 100000);
    m_graphLine->setAxisY(true, false, 1e-8, 0.001);
    m_graphLine->setLogClamp(true, 1e-9, 10.0);
    m_graphLine->setFixedHeight(200);
    m_graphLine->hide();

    m_graphSample = new Graph_Lines(this);
    m_graphSample->setObjectName(QStringLiteral("graph_Sample"));
    showEmptyDecayGraph();
    m_graphSample->setLogClamp(true, 1e-9, 10.0);
    m_graphSample->addWaterMarker(QStringLiteral("数据 / V"), Qt::AlignLeft | Qt::AlignTop, PlotFont::font(),
                                  Qt::black);
    m_graphSample->addWaterMarker(tr("Build:%1").arg(m_buildTime.toString(QStringLiteral("yyMMdd"))),
                                  Qt::AlignLeft | Qt::AlignBottom, PlotFont::font(), Qt::lightGray);

    m_plotMatrix = new PlotMatrix(2, 1, this);
    m_plotMatrix->setPlot(m_graphSample, 0, 0);
    m_plotMatrix->plotAt(1, 0)->hide();
    ui->verticalLayout_3->addWidget(m_plotMatrix);
    ui->verticalLayout_3->addWidget(m_graphLine);

    m_graphSend = new Graph_Lines(this);
    m_graphSend->setObjectName(QStringLiteral("graph_Send"));
    m_graphSend->addWaterMarker(QStringLiteral("发送电流"), Qt::AlignRight | Qt::AlignTop, PlotFont::font(), Qt::black);
    m_graphOff = new Graph_Lines(this);
    m_graphOff->setObjectName(QStringLiteral("graph_Off"));
    m_graphOff->addWaterMarker(QStringLiteral("关断时间"), Qt::AlignRight | Qt::AlignTop, PlotFont::font(), Qt::black);
    // Stacked in one tab beside the panels, they must be free to shrink
    // below their preferred size on a laptop screen.
    for (Graph_Lines* graph : {m_graphSend, m_graphOff})
        graph->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    m_sendPage = new QWidget(this);
    auto* sendLayout = new QVBoxLayout(m_sendPage);
    sendLayout->setContentsMargins(2, 4, 2, 4);
    sendLayout->addWidget(m_graphSend);
    sendLayout->addWidget(m_graphOff);
    ui->tabWidget_Status->addTab(m_sendPage, QStringLiteral("发送监控"));
}

void MainWindow::showEmptyDecayGraph()
{
    m_graphSample->setGraphTitle(QStringLiteral("当前采集"), true);
    m_graphSample->setAxisY(true, false, 1e-8, 0.001);
    m_graphSample->setAxisX(true, false, 10, 100000);
    m_graphSample->setAxisTitle(QwtCompat::XBottom, QStringLiteral("衰减时间 / us"));
}

// Nothing a closed project drew stays for the next one.
void MainWindow::clearGraphs()
{
    m_graphSample->clearLines();
    showEmptyDecayGraph();
    m_graphLine->clearLines();
    m_graphLine->hide();
    m_graphSend->clearLines();
    m_graphOff->clearLines();
}

void MainWindow::initPanels()
{
    m_setting = new View_Setting(this);
    ui->verticalLayout_9->addWidget(m_setting);
    m_setting->developerMode(m_developer);

    m_status = new Form_Status(this);
    m_sampleControl = new Form_SampleControl(this);
    m_sampleControl->developerMode(m_developer);
    ui->verticalLayout_7->addWidget(m_status);
    ui->verticalLayout_4->addWidget(m_sampleControl);
}

void MainWindow::initComboPopups()
{
    // Subclasses keep the popups they bring; plain combo boxes get a list view
    // the style sheet can reach.
    for (QComboBox* combo : findChildren<QComboBox*>()) {
        if (qstrcmp(combo->metaObject()->className(), "QComboBox") != 0)
            continue;
        combo->setView(new QListView(combo));
        combo->view()->window()->setWindowFlags(Qt::Popup | Qt::FramelessWindowHint | Qt::NoDropShadowWindowHint);
    }
}

void MainWindow::bind(const QString& objectName, const QString& property, QWidget* panel, const QString& widgetName,
                      const QString& format)
{
    m_viewProxy->bind(objectName, property, findChildWidgetByName(panel, widgetName), format);
}

void MainWindow::initDataModel()
{
    const QString name = QStringLiteral("DataModel");
    m_dataModel->setObjectName(name);
    m_viewProxy->addObject(m_dataModel);

    bind(name, QStringLiteral("SendI"), m_status, QStringLiteral("SendI_label"));
    bind(name, QStringLiteral("SendOff"), m_status, QStringLiteral("SendOff_label"), QStringLiteral("%.1f"));
    bind(name, QStringLiteral("ParamFs"), m_status, QStringLiteral("ParamFS_label"));
    bind(name, QStringLiteral("ParamPeriod"), m_status, QStringLiteral("ParamPeriod_label"));
    bind(name, QStringLiteral("ParamRepeat"), m_status, QStringLiteral("ParamRepeat_label"));
    bind(name, QStringLiteral("LineNo"), m_sampleControl, QStringLiteral("LineNo"), QStringLiteral("%.0f"));
    // Shows every number the field accepts as it is: leaving the field
    // writes the shown text back, so a rounded one would move the next store.
    bind(name, QStringLiteral("PointNo"), m_sampleControl, QStringLiteral("PointNo"), QStringLiteral("%.10g"));
    bind(name, QStringLiteral("PointNoStep"), m_setting, QStringLiteral("PointNoStep"), QStringLiteral("%.6g"));

    connect(m_sampleControl, &Form_SampleControl::lineNoChanged, m_dataModel, &DataModel_Index::slotLineNoChanged);
    connect(m_dataModel, &DataModel_Index::isNewLineChanged, m_sampleControl, &Form_SampleControl::onChangeLine);
    connect(m_dataModel, &DataModel_Index::onLoad_Param, m_sampleControl, &Form_SampleControl::onLoad_Param);
    connect(m_dataModel, &DataModel_Index::onSelectPoint, this, &MainWindow::onSelectPoint);
    connect(m_dataModel, &DataModel_Index::onSelectLine, this, &MainWindow::onSelectLine);
    connect(m_dataModel, &DataModel_Index::loadProjectConfig, m_setting, &View_Setting::loadProjectConfig);
    connect(m_setting, &View_Setting::projectConfigChanged, m_dataModel, &DataModel_Index::setProjectConfig);
    connect(m_dataModel, &DataModel_Index::onCurUse, m_status, &Form_Status::onUse);
    connect(m_dataModel, &DataModel_Index::onCurUseEnabled, m_status, &Form_Status::onUseEnabled);
    connect(m_dataModel, &DataModel_Index::storeStatusChanged, m_status, &Form_Status::onStoreStatus);
    connect(m_dataModel, &DataModel_Index::towedWaitingChanged, this, &MainWindow::onTowedWaitingChanged);
    connect(m_status, &Form_Status::useChanged, m_dataModel, &DataModel_Index::onNewUse);
}

void MainWindow::initCollector()
{
    const QString name = QStringLiteral("m_ZOLVA_Collector");
    m_collector = new ZOLVA_Collector(this);
    m_collector->setObjectName(name);
    m_collector->Start();
    m_viewProxy->addObject(m_collector);

    bind(name, QStringLiteral("DeviceIP_Send"), m_setting, QStringLiteral("DeviceIP_Send"));
    bind(name, QStringLiteral("DeviceIP_Recv"), m_setting, QStringLiteral("DeviceIP_Recv"));
    bind(name, QStringLiteral("SampleMode"), m_setting, QStringLiteral("SampleMode"));
    if (auto* mode = qobject_cast<QComboBox*>(findChildWidgetByName(m_setting, QStringLiteral("SampleMode"))))
        mode->setItemText(1, QStringLiteral("自检"));
    bind(name, QStringLiteral("ParamFs"), m_sampleControl, QStringLiteral("ParamFs"), QStringLiteral("%g"));
    bind(name, QStringLiteral("ParamPeriod"), m_sampleControl, QStringLiteral("ParamPeriod"));
    bind(name, QStringLiteral("ParamRepeat"), m_sampleControl, QStringLiteral("ParamRepeat"));
    bind(name, QStringLiteral("SampleStatus"), m_sampleControl, QStringLiteral("SampleStatus"));
    bind(name, QStringLiteral("ContinueMode"), m_sampleControl, QStringLiteral("ContinueMode"));
    if (auto* mode = qobject_cast<QComboBox*>(findChildWidgetByName(m_sampleControl, QStringLiteral("ContinueMode")))) {
        mode->setItemText(0, QStringLiteral("定点"));
        mode->setItemText(1, QStringLiteral("拖曳"));
    }
    bind(name, QStringLiteral("StatusConnect"), m_status, QStringLiteral("StatusConnect"));
    bind(name, QStringLiteral("DeviceTemp"), m_status, QStringLiteral("DeviceTemp"), QStringLiteral("%.0f"));
    bind(name, QStringLiteral("Progress"), m_status, QStringLiteral("ProgressCur"));
    bind(name, QStringLiteral("ProgressMax"), m_status, QStringLiteral("ProgressMax"));

    connect(m_status, &Form_Status::clickBtnConnect, m_collector, &ZOLVA_Collector::onBtnConnect);
    connect(m_status, &Form_Status::clickBtnDisconn, m_collector, &ZOLVA_Collector::onBtnDisconn);
    connect(m_sampleControl, &Form_SampleControl::clickBtnStart, m_collector, &ZOLVA_Collector::onBtnSampleStart);
    connect(m_sampleControl, &Form_SampleControl::clickBtnStop, m_collector, &ZOLVA_Collector::onBtnSampleStop);
    connect(m_sampleControl, &Form_SampleControl::clickBtnSaveOK, m_collector, &ZOLVA_Collector::onBtnSaveOK);
    connect(m_sampleControl, &Form_SampleControl::clickBtnSaveCancel, m_collector, &ZOLVA_Collector::onBtnSaveCancel);
    connect(m_collector, &ZOLVA_Collector::dataUpload, m_dataModel, &DataModel_Index::dataUpload);
    connect(m_collector, &ZOLVA_Collector::dataSave, m_dataModel, &DataModel_Index::dataSave);
    connect(m_collector, &ZOLVA_Collector::deviceConnected, m_dataModel, &DataModel_Index::setWifiName);
    connect(m_dataModel, &DataModel_Index::onSaveOver, m_collector, &ZOLVA_Collector::cmdSaveOver);
    connect(m_dataModel, &DataModel_Index::onSaveFailed, m_collector, &ZOLVA_Collector::cmdSaveFailed);
    connect(m_dataModel, &DataModel_Index::onLoad_Param, m_collector, &ZOLVA_Collector::onLoad_Param);
    connect(m_collector, &ZOLVA_Collector::sampleRefused, m_sampleControl, &Form_SampleControl::onSampleRefused);
    connect(m_collector, &ZOLVA_Collector::repeatsDone, this, [] { QApplication::beep(); });
    connect(m_status, &Form_Status::clickBtnConnect, this, [this] { m_unitsLetGo = false; });
    // Closing a project lets go of the units before it presses disconnect.
    m_status->setDisconnectCheck([this] {
        if (m_unitsLetGo)
            return true;
        if (!askBeforeLettingGo(tr("断开连接")))
            return false;
        letGoOfUnits();
        return true;
    });
    // Shown once the machine has settled: the box waits for the operator.
    connect(
        m_collector, &ZOLVA_Collector::sampleRefused, this,
        [this](const QString& reason) { DialogHook::warning(this, tr("警告"), reason); }, Qt::QueuedConnection);
    connect(
        m_collector, &ZOLVA_Collector::notice, this,
        [this](const QString& warning) { DialogHook::warning(this, tr("警告"), warning); }, Qt::QueuedConnection);
    connect(
        m_collector, &ZOLVA_Collector::stopDoubted, this,
        [this](const QString& warning) {
            if (!m_waitingForStops)
                DialogHook::warning(this, tr("警告"), warning);
        },
        Qt::QueuedConnection);
}

void MainWindow::connectGraphs()
{
    connect(m_calc, &Data_Calc::graphClear, m_graphSample, &Graph_Lines::clearLines);
    connect(m_calc, &Data_Calc::graphAxisScale_Log, m_graphSample, &Graph_Lines::onSetAxisScale);
    connect(m_calc, &Data_Calc::setGraphTitle, m_graphSample, &Graph_Lines::setGraphTitle);
    connect(m_calc, &Data_Calc::newGraph_Error, this, &MainWindow::onGraph_Error);
    connect(m_calc, &Data_Calc::newGraphData, m_graphSample, &Graph_Lines::newLine);
    connect(m_calc, &Data_Calc::newGraphData, this,
            [this] { m_graphSample->setAxisTitle(QwtCompat::XBottom, QStringLiteral("衰减时间 / us")); });
    connect(m_calc, &Data_Calc::newGraph_Line, m_graphLine, &Graph_Lines::newGraph_Lines);
    connect(m_calc, &Data_Calc::newGraph_Line, m_graphLine, &QWidget::show);
    connect(m_calc, &Data_Calc::newGraph_Off, this, &MainWindow::onGraph_Off);
    connect(m_calc, &Data_Calc::newGraph_Send, this, &MainWindow::onGraph_Send);
    connect(m_dataModel, &DataModel_Index::onData_Recv_Line, this, &MainWindow::onGraph_Line);
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    if (!askBeforeLettingGo(tr("退出程序"), AfterBacklog::Quit)) {
        event->ignore();
        return;
    }
    // The links end with the window and drop what they have not written.
    letGoOfUnits();
    QMainWindow::closeEvent(event);
}

void MainWindow::dragEnterEvent(QDragEnterEvent* event)
{
    if (event->mimeData()->hasUrls())
        event->acceptProposedAction();
    else
        event->ignore();
}

void MainWindow::dropEvent(QDropEvent* event)
{
    const QList<QUrl> urls = event->mimeData()->urls();
    if (urls.isEmpty())
        return;
    const QString path = urls.first().toLocalFile();
    if (path.endsWith(ProjectSuffix, Qt::CaseInsensitive))
        openProject(path);
    else
        DialogHook::critical(this, QStringLiteral("错误"), QStringLiteral("请拖入正确的工程文件"));
}

QString MainWindow::projectDialogDir() const
{
    const QStringList recent = m_recent ? m_recent->entries() : QStringList();
    return recent.isEmpty() ? QDir::currentPath() : QFileInfo(recent.first()).absolutePath();
}

void MainWindow::on_pushButton_Project_New_clicked()
{
    QString path = DialogHook::getSaveFileName(this, tr("创建工程"), projectDialogDir(),
                                               tr("%1工程 (*%2)").arg(m_productName, ProjectSuffix));
    if (!path.isEmpty() && !path.endsWith(ProjectSuffix, Qt::CaseInsensitive))
        path += ProjectSuffix;
    openProjectFile(path, true);
}

void MainWindow::on_pushButton_Project_Open_clicked()
{
    openProject(DialogHook::getOpenFileName(this, tr("打开工程"), projectDialogDir(),
                                            tr("%1工程 (*%2)").arg(m_productName, ProjectSuffix)));
}

void MainWindow::on_pushButton_Project_Close_clicked()
{
    if (!askBeforeLettingGo(tr("关闭工程"), AfterBacklog::CloseProject))
        return;
    letGoOfUnits();
    clearGraphs();
    m_dataModel->closeProject();
    setProjectOpenState(false);
    setWindowTitle(tr("%1系统").arg(m_productName));
}

void MainWindow::on_pushButton_Export_USF_clicked()
{
    const QString path =
        DialogHook::getSaveFileName(this, tr("导出USF文件"), QDir::currentPath(), tr("USF文件 (*.usf)"));
    if (path.isEmpty())
        return;
    // The path gets the file only once it is written whole: a failed export
    // leaves no part of a file there, nor replaces the file that was.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text)) {
        DialogHook::critical(this, QStringLiteral("导出数据"), QStringLiteral("导出文件不能打开"));
        return;
    }
    QTextStream out(&file);
    const orm::Status read = m_dataModel->onExportData_USF(out);
    QString cause;
    if (out.status() != QTextStream::Ok || (read.isOk() && !file.commit()))
        cause = QStringLiteral("导出文件不能写入");
    else if (!read.isOk())
        cause = ProjectFileAccess::cause(ProjectFileAccess::accessAfter(read.error()));
    if (cause.isEmpty())
        DialogHook::information(this, QStringLiteral("导出USF"), QStringLiteral("导出成功"));
    else
        DialogHook::critical(this, QStringLiteral("导出USF"), QStringLiteral("导出失败，") + cause);
}

bool MainWindow::acquisitionRunning() const
{
    return m_collector->isActive(QString::fromLatin1(CollectorState::SampleAwaitStop))
        || m_collector->isActive(QString::fromLatin1(CollectorState::SampleSetParam))
        || m_collector->isActive(QString::fromLatin1(CollectorState::SampleDataUpload));
}

bool MainWindow::acquisitionUnsaved() const
{
    return m_collector->isActive(QString::fromLatin1(CollectorState::SampleWaitSave));
}

bool MainWindow::endAcquisition(const QString& action)
{
    const bool running = acquisitionRunning();
    if (!running && !acquisitionUnsaved())
        return true;
    const QString text = running ? tr("请确认停止当前采集并%1！") : tr("请确认取消保存并%1！");
    if (!DialogHook::question(this, action, text.arg(action)))
        return false;
    // The acquisition went on while the question waited: it may have
    // finished, or ended with a lost link.
    if (acquisitionRunning())
        m_collector->onBtnSampleStop();
    else if (acquisitionUnsaved())
        emit m_collector->onBtnSaveCancel();
    return true;
}

bool MainWindow::askBeforeLettingGo(const QString& action, AfterBacklog then)
{
    if (!endAcquisition(action))
        return false;
    // A disconnect keeps the project open: its towed records wait on.
    return then == AfterBacklog::Nothing || settleTowedBacklog(action, then);
}

// A unit left recording behind the program's back is told of, not assumed
// stopped.
void MainWindow::letGoOfUnits()
{
    if (m_unitsLetGo)
        return;
    m_unitsLetGo = true;
    m_waitingForStops = true;
    OwedStopWait::run(this, m_collector);
    m_waitingForStops = false;
}

bool MainWindow::settleTowedBacklog(const QString& action, AfterBacklog then)
{
    m_afterBacklog = AfterBacklog::Nothing;
    m_quitWritesConfig = false;
    const int waiting = m_dataModel->towedWaiting();
    if (waiting == 0)
        return true;
    // The file takes them, a slice at a time: nothing to choose.
    if (m_dataModel->towedWaitCause() == ProjectFileAccess::Writable) {
        m_afterBacklog = then;
        return false;
    }
    const int choice =
        DialogHook::choose(this, action,
                           tr("%1 条拖曳记录等待写入工程文件,%2。\n等待写入后%3，还是放弃这些记录立即%3？")
                               .arg(waiting)
                               .arg(ProjectFileAccess::cause(m_dataModel->towedWaitCause()), action),
                           {tr("等待写入"), tr("放弃记录"), tr("取消")});
    if (choice == 1) {
        m_dataModel->discardTowed();
        return true;
    }
    if (choice != 0)
        return false;
    // The file may have taken them while the question waited.
    if (m_dataModel->towedWaiting() == 0)
        return true;
    m_afterBacklog = then;
    return false;
}

void MainWindow::onTowedWaitingChanged(int waiting)
{
    if (waiting > 0 || m_afterBacklog == AfterBacklog::Nothing)
        return;
    // Once the write that emptied the backlog has returned.
    QTimer::singleShot(0, this, [this] {
        if (m_dataModel->towedWaiting() > 0)
            return;
        const AfterBacklog then = std::exchange(m_afterBacklog, AfterBacklog::Nothing);
        const bool writeConfig = std::exchange(m_quitWritesConfig, false);
        if (then == AfterBacklog::CloseProject) {
            on_pushButton_Project_Close_clicked();
        } else if (then == AfterBacklog::Quit) {
            close();
            if (writeConfig && isHidden())
                saveConfig();
        }
    });
}

void MainWindow::openProject(QString projectName)
{
    openProjectFile(projectName, false);
}

void MainWindow::openProjectFile(const QString& path, bool create)
{
    if (path.isEmpty())
        return;
    const QFileInfo info(path);
    if (info.exists() && !(info.permissions() & QFileDevice::WriteOwner)) {
        DialogHook::critical(this, QStringLiteral("错误"), ReadOnlyProject);
        return;
    }
    // Only "新建" makes a file: a recent entry or a dropped path whose file
    // has gone is not brought back as an empty project.
    if (!create && !info.exists()) {
        DialogHook::critical(this, QStringLiteral("错误"), OpenFailed);
        loadRecentProjects();
        return;
    }
    // The owner's write bit is not the whole answer: the data model tries
    // a write.
    if (!m_dataModel->openProject(path)) {
        DialogHook::critical(this, QStringLiteral("错误"), openFailure(m_dataModel->openedFileAccess()));
        return;
    }
    setProjectOpenState(true);
    setWindowTitle(tr("%1系统").arg(m_productName) + QStringLiteral(" -- ") + path);
    addRecentProject(path);
}

void MainWindow::setProjectOpenState(bool open)
{
    ui->tabBar->setTabEnabled(1, open);
    ui->tabBar->setTabEnabled(2, open);
    ui->pushButton_Project_New->setVisible(!open);
    ui->pushButton_Project_Open->setVisible(!open);
    ui->pushButton_Project_Close->setVisible(open);
    ui->pushButton_Export_USF->setVisible(open && m_developer);
    ui->RecentProject->setEnabled(!open);
    setAcceptDrops(!open);
    m_status->pressConnectButton(open);
    ui->tabBar->setCurrentIndex(open ? 1 : 0);
}

void MainWindow::loadConfig()
{
    m_settings = std::make_unique<QSettings>(QStringLiteral("config.ini"), QSettings::IniFormat);
    m_settings->setIniCodec("UTF-8");
    m_recent = std::make_unique<RecentProjectList>(m_settings.get());
    loadRecentProjects();
    m_settings->beginGroup(QStringLiteral("SysConf"));
    m_collector->setProperty("DeviceIP_Send",
                             m_settings->value(QStringLiteral("SendIP"), QStringLiteral("192.168.0.9")).toString());
    m_collector->setProperty("DeviceIP_Recv",
                             m_settings->value(QStringLiteral("RecvIP"), QStringLiteral("192.168.0.10")).toString());
    m_settings->endGroup();
}

void MainWindow::saveConfig()
{
    saveRecentProjects();
    m_settings->beginGroup(QStringLiteral("SysConf"));
    m_settings->setValue(QStringLiteral("SendIP"), m_collector->property("DeviceIP_Send").toString());
    m_settings->setValue(QStringLiteral("RecvIP"), m_collector->property("DeviceIP_Recv").toString());
    m_settings->endGroup();
    // The close ends the event loop before a deferred write could run.
    m_settings->sync();
    if (m_settings->status() != QSettings::NoError)
        qWarning() << "MainWindow: config.ini could not be written:" << m_settings->fileName();
}

void MainWindow::loadRecentProjects()
{
    m_recent->load();
    showRecentProjects();
}

void MainWindow::saveRecentProjects()
{
    m_recent->save();
}

void MainWindow::addRecentProject(const QString& path)
{
    m_recent->add(path);
    showRecentProjects();
}

void MainWindow::showRecentProjects()
{
    ui->RecentProject->clear();
    ui->RecentProject->addItems(m_recent->entries());
}

void MainWindow::showMaximizedState(bool maximized)
{
    ui->pushButton_Max->setText(TitleBarGlyphs::forInstalledFonts().maximize(maximized));
    ui->pushButton_Max->setToolTip(maximized ? QStringLiteral("还原") : QStringLiteral("最大化"));
}

void MainWindow::on_btn_Logo_clicked()
{
    bool on = false;
    if (m_developerAccess.click()) {
        const QString entered = DialogHook::getPassword(this, tr("开发者模式"), tr("请输入密码:"));
        on = DeveloperAccess::accepts(entered, m_today());
    }
    m_developer = on;
    m_setting->developerMode(on);
    m_sampleControl->developerMode(on);
    ui->pushButton_Export_USF->setVisible(on && ui->tabBar->isTabEnabled(1));
}

void MainWindow::onGraph_Line(QString name, QVector<double> xList, QVector<double> yList,
                              QVector<QVector<double>> datas, int curPos)
{
    if (curPos != -1) {
        m_graphLine->show();
        m_graphLine->newGraph_Lines(datas, xList, yList, curPos);
        return;
    }
    m_graphLine->hide();
    m_graphSample->clearLines();
    m_graphSample->onSetAxisScale(false, true);
    m_graphSample->newGraph_Lines(datas, xList, yList, -1.0);
    m_graphSample->setGraphTitle(name, true);
    m_graphSample->setAxisTitle(QwtCompat::XBottom, QStringLiteral("点位"));
}

void MainWindow::onGraph_Error(QVector<double> x, QVector<double> y, bool show)
{
    // The spread curve has no graph of its own in this window.
    Q_UNUSED(x)
    Q_UNUSED(y)
    Q_UNUSED(show)
}

void MainWindow::onGraph_Send(double fs_Send, QVector<double> data)
{
    TransmitCurves::Curve curve;
    if (!TransmitCurves::sendCurve(fs_Send, data, &curve))
        return;
    m_graphSend->clearLines();
    m_graphSend->newLine(QStringLiteral("send"), curve.x, curve.y, 1.0);
}

void MainWindow::onGraph_Off(double fs_SampleOff, QVector<double> data)
{
    TransmitCurves::Curve curve;
    if (!TransmitCurves::offCurve(fs_SampleOff, data, &curve))
        return;
    if (m_developer)
        curve.y = TransmitCurves::fitEarlyDecay(curve.x, curve.y);
    m_graphOff->clearLines();
    m_graphOff->newLine(QStringLiteral("关断时间"), curve.x, curve.y, 1.0);
}

void MainWindow::onSelectPoint(int lineMode)
{
    m_graphLine->setVisible(lineMode == 1);
}

void MainWindow::onSelectLine(int lineMode)
{
    Q_UNUSED(lineMode)
}
