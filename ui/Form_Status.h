#pragma once

#include <QWidget>

#include <functional>

namespace Ui {
class Form_Status;
}

// The acquisition page's status tab: link state with connect and disconnect,
// progress, unit temperature, and the selected record's parameters with its
// use flag. The displays are filled by property bindings; the panel itself
// turns presses into signals and drives the progress bar from two hidden
// bound fields.
class Form_Status : public QWidget
{
    Q_OBJECT

public:
    explicit Form_Status(QWidget* parent = nullptr);
    ~Form_Status() override;

    // Runs the same path as the operator's press.
    void pressConnectButton(bool connect);
    // Asked before a disconnect goes ahead, whoever pressed; false leaves
    // everything as it was.
    void setDisconnectCheck(std::function<bool()> check);

signals:
    // Only the operator's clicks on the check box, never onUse.
    void useChanged(bool use);
    void clickBtnConnect();
    void clickBtnDisconn();

public slots:
    void onUse(bool use);
    // Without an item to act on the box is disabled and shows no tick.
    void onUseEnabled(bool enabled);
    // Towed records waiting for the project file, or lost; hidden while
    // every record is stored.
    void onStoreStatus(const QString& status);
    void changeProgressCur(const QString& arg1);
    void changeProgressMax(const QString& arg1);

private slots:
    void on_btn_DeviceCon_clicked();
    void on_btn_DeviceClose_clicked();

private:
    void resetProgress();

    Ui::Form_Status* ui;
    std::function<bool()> disconnectCheck;
};
