#pragma once

#include "ui/DeveloperAccess.h"
#include "ui/UiScale.h"

#include <QDate>
#include <QDateTime>
#include <QMainWindow>
#include <QString>
#include <QStringList>
#include <QVector>

#include <functional>
#include <memory>

class DataModel_Index;
class Data_Calc;
class Form_SampleControl;
class Form_Status;
class Graph_Lines;
class HViewProxyManager;
class PlotMatrix;
class QSettings;
class RecentProjectList;
class View_Setting;
class ZOLVA_Collector;

namespace Ui {
class MainWindow;
}

// The one window of the program. It builds every part, ties them together
// and keeps the configuration file and the recent projects.
class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    explicit MainWindow(QWidget* parent = nullptr);
    ~MainWindow() override;

    // Where developer mode reads today's date; the system clock by default.
    void setDateSource(std::function<QDate()> today);

    // The first widget below parent named name, depth first, or null.
    static QWidget* findChildWidgetByName(QObject* parent, const QString& name);

protected:
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private slots:
    void on_pushButton_Project_New_clicked();
    void on_pushButton_Project_Open_clicked();
    void on_pushButton_Project_Close_clicked();
    void on_pushButton_Export_USF_clicked();
    void openProject(QString projectName);
    void on_btn_Logo_clicked();
    void onGraph_Line(QString name, QVector<double> xList, QVector<double> yList, QVector<QVector<double>> datas,
                      int curPos);
    void onGraph_Error(QVector<double> x, QVector<double> y, bool show);
    void onGraph_Send(double fs_Send, QVector<double> data);
    void onGraph_Off(double fs_SampleOff, QVector<double> data);
    void onSelectPoint(int lineMode);
    void onSelectLine(int lineMode);

private:
    void initStyle();
    void initTitleBar();
    void initProjectModel();
    void initGraphs();
    void showEmptyDecayGraph();
    void clearGraphs();
    void initPanels();
    void initComboPopups();
    void initDataModel();
    void initCollector();
    void connectGraphs();
    void bind(const QString& objectName, const QString& property, QWidget* panel, const QString& widgetName,
              const QString& format = QString());

    bool acquisitionRunning() const;
    bool acquisitionUnsaved() const;
    // Closing, disconnecting or quitting would end the acquisition in hand:
    // asks first, and on Yes stops it at the units or discards it, as its
    // own buttons do; *stopped tells whether stops were sent. False when the
    // operator says No.
    bool endAcquisition(const QString& action, bool* stopped = nullptr);
    // What follows once the towed records waiting for the project file are
    // stored, as the operator chose.
    enum class AfterBacklog { Nothing, CloseProject, Quit };
    // Closing the project or quitting would let go of towed records still
    // waiting for the project file: asks whether to wait for the file, the
    // action following once they are stored, or to discard them. True when
    // the action may go on now.
    bool settleTowedBacklog(const QString& action, AfterBacklog then);
    void onTowedWaitingChanged(int waiting);
    void openProjectFile(const QString& path, bool create);
    void setProjectOpenState(bool open);
    QString projectDialogDir() const;
    void loadConfig();
    void saveConfig();
    void loadRecentProjects();
    void saveRecentProjects();
    void addRecentProject(const QString& path);
    void showRecentProjects();
    void showMaximizedState(bool maximized);

    Ui::MainWindow* ui;
    std::unique_ptr<HViewProxyManager> m_viewProxy;
    View_Setting* m_setting = nullptr;
    ZOLVA_Collector* m_collector = nullptr;
    Graph_Lines* m_graphLine = nullptr;
    Graph_Lines* m_graphSample = nullptr;
    PlotMatrix* m_plotMatrix = nullptr;
    Graph_Lines* m_graphSend = nullptr;
    Graph_Lines* m_graphOff = nullptr;
    QWidget* m_sendPage = nullptr;
    DataModel_Index* m_dataModel = nullptr;
    Data_Calc* m_calc = nullptr;
    Form_Status* m_status = nullptr;
    Form_SampleControl* m_sampleControl = nullptr;
    std::unique_ptr<QSettings> m_settings;
    std::unique_ptr<RecentProjectList> m_recent;
    QString m_productName;
    bool m_developer = false;
    AfterBacklog m_afterBacklog = AfterBacklog::Nothing;
    // The quit that waits came from the title-bar close, which writes the
    // configuration.
    bool m_quitWritesConfig = false;

    UiScale m_uiScale;
    QDateTime m_buildTime;
    DeveloperAccess m_developerAccess;
    std::function<QDate()> m_today;
};
