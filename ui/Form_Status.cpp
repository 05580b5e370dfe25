#include "ui/Form_Status.h"

#include "ui_Form_Status.h"

Form_Status::Form_Status(QWidget* parent)
    : QWidget(parent)
    , ui(new Ui::Form_Status)
{
    ui->setupUi(this);
    ui->ProgressMax->setText(QStringLiteral("0"));
    ui->ProgressCur->hide();
    ui->ProgressMax->hide();

    const QString caption = QStringLiteral("<font size=\"2\" color=\"#707070\">%1</font>");
    ui->label_PL->setText(caption.arg(tr("频率")));
    ui->label_DJ->setText(caption.arg(tr("叠加")));
    ui->label_CF->setText(caption.arg(tr("重复")));
    ui->label_DL->setText(caption.arg(tr("电流")));
    ui->label_GD->setText(caption.arg(tr("关断")));
    ui->label_QY->setText(caption.arg(tr("启用")));

    connect(ui->ProgressCur, &QLineEdit::textChanged, this, &Form_Status::changeProgressCur);
    connect(ui->ProgressMax, &QLineEdit::textChanged, this, &Form_Status::changeProgressMax);
    connect(ui->USE_checkBox, &QCheckBox::clicked, this, &Form_Status::useChanged);
    // Nothing is selected before a project is open.
    onUseEnabled(false);
    onStoreStatus(QString());
}

Form_Status::~Form_Status()
{
    delete ui;
}

void Form_Status::pressConnectButton(bool connect)
{
    if (connect)
        ui->btn_DeviceCon->click();
    else
        ui->btn_DeviceClose->click();
}

void Form_Status::setDisconnectCheck(std::function<bool()> check)
{
    disconnectCheck = std::move(check);
}

void Form_Status::onUse(bool use)
{
    ui->USE_checkBox->setChecked(use);
}

void Form_Status::onUseEnabled(bool enabled)
{
    ui->USE_checkBox->setEnabled(enabled);
    if (!enabled)
        ui->USE_checkBox->setChecked(false);
}

void Form_Status::onStoreStatus(const QString& status)
{
    ui->StoreStatus->setText(status);
    ui->StoreStatus->setVisible(!status.isEmpty());
}

void Form_Status::changeProgressCur(const QString& arg1)
{
    bool ok = false;
    const int value = arg1.toInt(&ok, 10);
    if (ok)
        ui->Sample_progressBar->setValue(value);
    const int max = ui->ProgressMax->text().toInt(&ok, 10);
    if (!ok || max <= 0)
        resetProgress();
}

void Form_Status::changeProgressMax(const QString& arg1)
{
    bool ok = false;
    const int max = arg1.toInt(&ok, 10);
    if (!ok || max <= 0) {
        resetProgress();
        return;
    }
    ui->Sample_progressBar->setMaximum(max);
    ui->Sample_progressBar->setValue(0);
    ui->Sample_progressBar->setEnabled(true);
}

void Form_Status::on_btn_DeviceCon_clicked()
{
    ui->btn_DeviceCon->hide();
    emit clickBtnConnect();
}

void Form_Status::on_btn_DeviceClose_clicked()
{
    if (disconnectCheck && !disconnectCheck())
        return;
    ui->btn_DeviceCon->show();
    emit clickBtnDisconn();
}

// Without a known duration the bar shows nothing rather than a guess.
void Form_Status::resetProgress()
{
    ui->Sample_progressBar->setMaximum(100);
    ui->Sample_progressBar->setValue(0);
    ui->Sample_progressBar->setEnabled(false);
}
