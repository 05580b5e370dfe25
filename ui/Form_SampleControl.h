#pragma once

#include <QWidget>

namespace Ui {
class Form_SampleControl;
}

// The acquisition page's parameter tab: line and point number, base
// frequency, stacks, repeats and (in developer mode) single or towed mode,
// with start, stop, save and discard. The entries are bound to the data model
// and the collector; the panel validates them, follows the collector's status
// and asks before stopping or discarding.
class Form_SampleControl : public QWidget
{
    Q_OBJECT

public:
    explicit Form_SampleControl(QWidget* parent = nullptr);
    ~Form_SampleControl() override;

signals:
    void clickBtnStart();
    void clickBtnStop();
    void clickBtnSaveOK();
    void clickBtnSaveCancel();
    void lineNoChanged(double lineNo);

public slots:
    // An existing line keeps its frequency and mode; the mode itself reaches
    // the collector on its own connection.
    void onLoad_Param(double SendFs, int SendPeriod, int ContinueMode);
    void onChangeLine(bool isNewLine);
    // A refused start gives back the selectors it locked, so that the
    // operator can pick another frequency; an existing line keeps its own.
    void onSampleRefused();
    void developerMode(bool isOpen);
    void addFs(double v);
    // The collector's status by key name, as the hidden bound combo box shows it.
    void changeSampleStatus(const QString& arg1);
    void confirmStop();
    void confirmSaveCancel();
    void onEditingFinished();
    void onTextChanged();
    void changeContinueMode(int index);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private slots:
    void on_pushButton_Start_clicked();

private:
    Ui::Form_SampleControl* ui;
    bool lineNoEdited = false;
    // The line entered keeps the frequency and mode it was stored with.
    bool lineLocked = false;
};
