#include "ui/Form_SampleControl.h"

#include "ui_Form_SampleControl.h"

#include "acquisition/ZOLVA_Collector.h"
#include "platform/DialogHook.h"

#include <QDoubleValidator>
#include <QKeyEvent>
#include <QMetaEnum>
#include <QRegExpValidator>

namespace {

bool isStatus(const QString& key, ZOLVA_Collector::ZOLVASampleStatus status)
{
    return key == QLatin1String(QMetaEnum::fromType<ZOLVA_Collector::ZOLVASampleStatus>().valueToKey(status));
}

// A button's text brings its own mnemonic as its shortcut: the key the panel
// gave the button stays.
void setTextKeepingKey(QAbstractButton* button, const QString& text)
{
    const QKeySequence key = button->shortcut();
    button->setText(text);
    button->setShortcut(key);
}

} // namespace

Form_SampleControl::Form_SampleControl(QWidget* parent)
    : QWidget(parent)
    , ui(new Ui::Form_SampleControl)
{
    ui->setupUi(this);
    ui->SampleStatus->hide();

    ui->LineNo->setValidator(new QRegExpValidator(QRegExp(QStringLiteral("^-?[1-9]\\d{0,6}$|^0$")), this));
    ui->LineNo->setInputMethodHints(Qt::ImhDigitsOnly);
    ui->PointNo->setValidator(new QDoubleValidator(-99999999.0, 99999999.0, 1, this));
    ui->PointNo->setPlaceholderText(tr("小数点后最多1位"));
    ui->PointNo->setInputMethodHints(Qt::ImhDigitsOnly);
    const QRegExp count(QStringLiteral("^[1-9]\\d{0,4}$"));
    ui->ParamPeriod->setValidator(new QRegExpValidator(count, this));
    ui->ParamPeriod->setInputMethodHints(Qt::ImhDigitsOnly);
    ui->ParamRepeat->setValidator(new QRegExpValidator(count, this));
    ui->ParamRepeat->setInputMethodHints(Qt::ImhDigitsOnly);
    for (double fs : {0.1, 0.125, 0.25, 0.625, 1.0, 1.25, 2.5, 6.25, 12.5, 25.0, 62.5})
        ui->ParamFs->addItem(QString::number(fs, 'g', 6), fs);

    ui->ContinueMode->setEnabled(false);

    connect(ui->SampleStatus, &QComboBox::currentTextChanged, this, &Form_SampleControl::changeSampleStatus);
    connect(ui->ContinueMode, qOverload<int>(&QComboBox::currentIndexChanged), this,
            &Form_SampleControl::changeContinueMode);
    connect(ui->pushButton_SaveOK, &QPushButton::clicked, this, &Form_SampleControl::clickBtnSaveOK);
    connect(ui->pushButton_Stop, &QPushButton::clicked, this, &Form_SampleControl::confirmStop);
    connect(ui->pushButton_SaveCancel, &QPushButton::clicked, this, &Form_SampleControl::confirmSaveCancel);
    connect(ui->LineNo, &QLineEdit::textEdited, this, [this] { lineNoEdited = true; });
    connect(ui->LineNo, &QLineEdit::editingFinished, this, &Form_SampleControl::onEditingFinished);
    for (QLineEdit* field : {ui->LineNo, ui->PointNo, ui->ParamPeriod, ui->ParamRepeat}) {
        connect(field, &QLineEdit::textChanged, this, &Form_SampleControl::onTextChanged);
        field->installEventFilter(this);
    }

    developerMode(false);
}

Form_SampleControl::~Form_SampleControl()
{
    // Closing a shown panel takes the focus out of the line number; that
    // must not reach a handler once the form is gone.
    ui->LineNo->disconnect(this);
    delete ui;
}

void Form_SampleControl::onLoad_Param(double SendFs, int SendPeriod, int)
{
    ui->ParamFs->setCurrentText(QString::number(SendFs, 'g', 6));
    ui->ParamPeriod->setText(QString::number(SendPeriod));
    lineLocked = true;
    ui->ParamFs->setEnabled(false);
    ui->ContinueMode->setEnabled(false);
}

void Form_SampleControl::onChangeLine(bool isNewLine)
{
    if (isNewLine)
        ui->ContinueMode->setCurrentIndex(ZOLVA_Collector::Single);
    lineLocked = !isNewLine;
    ui->ParamFs->setEnabled(isNewLine);
    ui->ContinueMode->setEnabled(isNewLine);
}

void Form_SampleControl::onSampleRefused()
{
    ui->ParamFs->setEnabled(!lineLocked);
    ui->ContinueMode->setEnabled(!lineLocked);
}

void Form_SampleControl::developerMode(bool isOpen)
{
    ui->label_ContinueMode->setVisible(isOpen);
    ui->ContinueMode->setVisible(isOpen);
    // A choice the operator can no longer see is not kept: a new line goes
    // back to single. The mode of an existing line or a running acquisition,
    // locked, stays.
    if (!isOpen && ui->ContinueMode->isEnabledTo(this))
        ui->ContinueMode->setCurrentIndex(ZOLVA_Collector::Single);
    if (isOpen)
        addFs(100.0);
}

void Form_SampleControl::addFs(double v)
{
    QComboBox* list = ui->ParamFs;
    if (list->findData(v, Qt::UserRole, Qt::MatchExactly) >= 0)
        return;
    int index = 0;
    while (index < list->count() && list->itemData(index).toDouble() < v)
        ++index;
    list->insertItem(index, QString::number(v, 'g', 6), v);
}

void Form_SampleControl::changeSampleStatus(const QString& arg1)
{
    using C = ZOLVA_Collector;
    const bool running = isStatus(arg1, C::SAMPLING) || isStatus(arg1, C::SETPARAM);
    const bool uploaded = isStatus(arg1, C::UPLOAD) || isStatus(arg1, C::SAVING);
    const bool idle = isStatus(arg1, C::IDLE);
    setEnabled(running || uploaded || idle);
    // The line and point stay as they were while an upload waits for saving.
    if (running || idle) {
        ui->LineNo->setEnabled(idle);
        ui->PointNo->setEnabled(idle);
    }
    ui->pushButton_Start->setVisible(!running && !uploaded);
    ui->pushButton_Stop->setVisible(running);
    ui->pushButton_SaveOK->setVisible(uploaded);
    ui->pushButton_SaveCancel->setVisible(uploaded);
}

void Form_SampleControl::confirmStop()
{
    if (DialogHook::question(this, tr("停止采集"), tr("请确认停止当前采集！")))
        emit clickBtnStop();
}

void Form_SampleControl::confirmSaveCancel()
{
    if (DialogHook::question(this, tr("停止采集"), tr("请确认取消保存！")))
        emit clickBtnSaveCancel();
}

// Only a line number the operator typed is announced: focus merely passing
// through the field, or leaving it when start disables it, would otherwise
// renumber the next point and reset the towed mode of a new line.
void Form_SampleControl::onEditingFinished()
{
    if (!lineNoEdited)
        return;
    lineNoEdited = false;
    bool ok = false;
    const double lineNo = ui->LineNo->text().toDouble(&ok);
    if (!ok) {
        DialogHook::warning(this, tr("错误"), tr("线号请输入数字！"));
        return;
    }
    emit lineNoChanged(lineNo);
}

void Form_SampleControl::onTextChanged()
{
    ui->pushButton_Start->setEnabled(!ui->LineNo->text().isEmpty() && !ui->PointNo->text().isEmpty()
                                     && !ui->ParamPeriod->text().isEmpty() && !ui->ParamRepeat->text().isEmpty());
}

void Form_SampleControl::changeContinueMode(int index)
{
    // On a towed line every record is a point of its own, numbered by time,
    // until the operator stops.
    const bool towed = index == ZOLVA_Collector::Continue;
    for (QWidget* field : std::initializer_list<QWidget*>{ui->label_PointNo, ui->PointNo, ui->label_ParamRepeat,
                                                          ui->ParamRepeat, ui->label_3})
        field->setVisible(!towed);
    setTextKeepingKey(ui->pushButton_Stop, towed ? tr("停止采集") : tr("取消采集"));
}

// The number fields take no spaces or letters: the keys of the panel's
// buttons reach them from there, where the operator's hands are.
bool Form_SampleControl::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::ShortcutOverride) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->modifiers() == Qt::NoModifier
            && (key->key() == Qt::Key_Space || key->key() == Qt::Key_S || key->key() == Qt::Key_C)) {
            event->ignore();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void Form_SampleControl::on_pushButton_Start_clicked()
{
    // Leaving the field takes what was typed there into this acquisition,
    // and the focus waits where save, discard and stop reach their buttons,
    // away from the title bar's tabs.
    setFocus(Qt::OtherFocusReason);
    ui->ParamFs->setEnabled(false);
    ui->ContinueMode->setEnabled(false);
    emit clickBtnStart();
}
