#include "ui/View_Setting.h"

#include "ui_View_Setting.h"

#include "platform/DialogHook.h"
#include "project/CurveProcessing.h"

#include <QDoubleValidator>
#include <QTextCodec>

#include <algorithm>

View_Setting::View_Setting(QWidget* parent)
    : QWidget(parent)
    , ui(new Ui::View_Setting)
{
    ui->setupUi(this);
    ui->DeviceIP_Send->setEnabled(false);
    ui->DeviceIP_Recv->setEnabled(false);
    ui->StartTime->setPlaceholderText(QStringLiteral("0~800"));
    // The field shows the value in force: leaving it empty would set 0.
    ui->StartTime->setText(QString::number(CurveProcessing::startTime));
    ui->StartTime->setInputMethodHints(Qt::ImhDigitsOnly);
    ui->PointNoStep->setInputMethodHints(Qt::ImhDigitsOnly);
    ui->PointNoStep->setValidator(new QDoubleValidator(-99999999.0, 99999999.0, 1, this));
    connect(ui->PointNoStep, &QLineEdit::editingFinished, this, &View_Setting::onPointNoStepEdited);
    connect(ui->StartTime, &QLineEdit::editingFinished, this, &View_Setting::changeStartTime);
    ui->groupBox_StartTime->hide();
    initPingTest();
}

View_Setting::~View_Setting()
{
    // Neither a ping still running nor the focus leaving a field on closing
    // may reach a handler once the form is gone.
    ui->PointNoStep->disconnect(this);
    ui->StartTime->disconnect(this);
    pingProcess->disconnect(this);
    pingProcess->kill();
    pingProcess->waitForFinished();
    delete ui;
}

void View_Setting::setPingCommand(const PingCommand& command)
{
    pingCommand = command;
}

void View_Setting::loadProjectConfig(st_ProjectConfig config)
{
    this->config = config;
    ui->PointNoStep->setText(QString::number(config.PointNoStep, 'g', 6));
}

void View_Setting::developerMode(bool isOpen)
{
    ui->groupBox_StartTime->setVisible(isOpen);
}

void View_Setting::changeStartTime()
{
    const int value = std::clamp(ui->StartTime->text().toInt(nullptr, 10), 0, 800);
    ui->StartTime->setText(QString::number(value));
    CurveProcessing::startTime = value;
}

void View_Setting::onPointNoStepEdited()
{
    bool ok = false;
    const double step = ui->PointNoStep->text().toDouble(&ok);
    if (!ok) {
        DialogHook::warning(this, tr("错误"), tr("点号步进请输出浮点数"));
        return;
    }
    config.PointNoStep = step;
    emit projectConfigChanged(config);
}

void View_Setting::initPingTest()
{
    pingProcess = new QProcess(this);
    // The units' answers and ping's own complaints read as one text.
    pingProcess->setProcessChannelMode(QProcess::MergedChannels);
    ui->label_PingOutput->setText(QString());
    connect(pingProcess, &QProcess::readyRead, this, &View_Setting::readPingOutput);
    connect(pingProcess, qOverload<int, QProcess::ExitStatus>(&QProcess::finished), this,
            &View_Setting::onPingFinished);
    connect(pingProcess, &QProcess::errorOccurred, this, &View_Setting::onPingError);
    connect(ui->btn_Ping, &QPushButton::clicked, this, &View_Setting::pingTest);
}

void View_Setting::pingTest()
{
    ui->btn_Ping->setEnabled(false);
    QFont font(QStringLiteral("Microsoft YaHei"));
    font.setPixelSize(12);
    ui->label_PingOutput->setFont(font);
    // The step moves before the start: a ping that cannot start ends the
    // test from inside it.
    if (pingStep == 0) {
        ui->label_PingOutput->setText(tr("测试结果:"));
        pingStep = 1;
        startPing(ui->DeviceIP_Send->text());
    } else if (pingStep == 1) {
        pingStep = 2;
        startPing(ui->DeviceIP_Recv->text());
    }
}

void View_Setting::startPing(const QString& address)
{
    const QStringList arguments = pingCommand.arguments(address);
    if (arguments.isEmpty()) {
        endPingTest(tr("地址无效：%1").arg(address));
        return;
    }
    // One decoder for the whole run keeps a character split across two
    // reads whole.
    pingDecoder.reset(pingCommand.codec()->makeDecoder());
    startPingOutputLine();
    pingProcess->start(pingCommand.program(), arguments, QIODevice::ReadWrite);
}

void View_Setting::readPingOutput()
{
    appendPingOutput(pingDecoder->toUnicode(pingProcess->readAll()));
}

void View_Setting::onPingFinished()
{
    readPingOutput();
    if (pingStep == 1) {
        pingTest();
    } else if (pingStep == 2) {
        pingStep = 0;
        ui->btn_Ping->setEnabled(true);
    }
}

// Only a start failure goes unanswered by finished(); every other error
// is followed by it.
void View_Setting::onPingError(QProcess::ProcessError error)
{
    if (error == QProcess::FailedToStart)
        endPingTest(tr("无法运行 %1：%2").arg(pingCommand.program(), pingProcess->errorString()));
}

void View_Setting::endPingTest(const QString& reason)
{
    startPingOutputLine();
    appendPingOutput(reason + QLatin1Char('\n'));
    pingStep = 0;
    ui->btn_Ping->setEnabled(true);
}

// Each ping's output and each complaint begin on a line of their own.
void View_Setting::startPingOutputLine()
{
    if (!ui->label_PingOutput->text().endsWith(QLatin1Char('\n')))
        appendPingOutput(QStringLiteral("\n"));
}

void View_Setting::appendPingOutput(const QString& text)
{
    ui->label_PingOutput->setText(ui->label_PingOutput->text() + text);
}
