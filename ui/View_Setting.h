#pragma once

#include "platform/PingCommand.h"
#include "project/ProjectRecords.h"

#include <QProcess>
#include <QWidget>

#include <memory>

class QTextDecoder;

namespace Ui {
class View_Setting;
}

// The settings page: the unit addresses with a network test that pings the
// transmitter and then the receiver, the project's point-number step, the
// acquisition mode and, in developer mode, the start time of the decay
// curves. Addresses, mode and step are filled by property bindings.
class View_Setting : public QWidget
{
    Q_OBJECT

public:
    explicit View_Setting(QWidget* parent = nullptr);
    ~View_Setting() override;

    // Takes effect from the next press of the test button.
    void setPingCommand(const PingCommand& command);

signals:
    void projectConfigChanged(st_ProjectConfig config);

public slots:
    void loadProjectConfig(st_ProjectConfig config);
    void developerMode(bool isOpen);
    void changeStartTime();
    void initPingTest();
    void pingTest();

private:
    void onPointNoStepEdited();
    void startPing(const QString& address);
    void readPingOutput();
    void onPingFinished();
    void onPingError(QProcess::ProcessError error);
    void endPingTest(const QString& reason);
    void startPingOutputLine();
    void appendPingOutput(const QString& text);

    Ui::View_Setting* ui;
    st_ProjectConfig config;
    QProcess* pingProcess = nullptr;
    // 0 idle, 1 transmitter ping running, 2 receiver ping running.
    int pingStep = 0;
    PingCommand pingCommand;
    std::unique_ptr<QTextDecoder> pingDecoder;
};
