#include "tests/support/DialogAnswers.h"
#include "tests/support/TestEnvironment.h"
#include "ui/Form_SampleControl.h"
#include "ui/Form_Status.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include <memory>

// The acquisition page's two panels: the status panel, and the sample
// control panel the cases share.
class tst_AcquisitionPanels : public QObject
{
    Q_OBJECT

    std::unique_ptr<Form_SampleControl> m_panel;

    template <class W = QLineEdit>
    W* child(const QString& name)
    {
        return m_panel->findChild<W*>(name);
    }

private slots:
    void init() { m_panel = std::make_unique<Form_SampleControl>(); }
    void cleanup() { resetDialogAnswers(); }

    void entriesAreValidated()
    {
        const struct
        {
            const char* field;
            QStringList accepted, refused;
        } cases[] = {
            {"LineNo", {"0", "7", "-1234567"}, {"01", "12345678", "-0"}},
            {"PointNo", {"12.5", "-3"}, {"12.55"}},
            {"ParamPeriod", {"1", "99999"}, {"0", "100000", "010"}},
            {"ParamRepeat", {"1", "99999"}, {"0", "100000"}},
        };
        for (const auto& c : cases) {
            QLineEdit* edit = child(QLatin1String(c.field));
            for (const QString& typed : c.accepted + c.refused) {
                edit->clear();
                QTest::keyClicks(edit, typed);
                const bool accepted = edit->text() == typed && edit->hasAcceptableInput();
                QVERIFY2(accepted == c.accepted.contains(typed), qPrintable(c.field + (' ' + typed)));
            }
        }
    }

    void startNeedsFourEntriesAndLineNumberIsAnnounced()
    {
        auto* start = child<QPushButton>("pushButton_Start");
        for (const char* name : {"ParamRepeat", "ParamPeriod", "PointNo", "LineNo"}) {
            child(QLatin1String(name))->clear();
            QVERIFY2(!start->isEnabled(), name);
            QTest::keyClicks(child(QLatin1String(name)), QStringLiteral("-12"));
            QVERIFY2(start->isEnabled(), name);
        }
        QSignalSpy lines(m_panel.get(), &Form_SampleControl::lineNoChanged);
        QTest::keyClick(child("LineNo"), Qt::Key_Return);
        QCOMPARE(lines.count(), 1);
        QCOMPARE(lines.at(0).at(0).toDouble(), -12.0);
        // Leaving the field again, or a number set by the program, is no new line.
        QTest::keyClick(child("LineNo"), Qt::Key_Return);
        child<QLineEdit>("LineNo")->setText(QStringLiteral("7"));
        QTest::keyClick(child("LineNo"), Qt::Key_Return);
        QCOMPARE(lines.count(), 1);
    }

    void buttonsFollowTheStatus_data()
    {
        QTest::addColumn<QStringList>("statuses");
        QTest::addColumn<bool>("panelEnabled");
        QTest::addColumn<bool>("numbersEnabled");
        QTest::addColumn<QString>("shown");
        QTest::newRow("idle") << QStringList{"IDLE"} << true << true << "Start";
        QTest::newRow("configuring") << QStringList{"IDLE", "SETPARAM"} << true << false << "Stop";
        QTest::newRow("saving") << QStringList{"IDLE", "SAVING"} << true << true << "SaveOK SaveCancel";
        QTest::newRow("disconnected") << QStringList{"IDLE", "DISCONN"} << false << true << "Start";
    }

    void buttonsFollowTheStatus()
    {
        QFETCH(QStringList, statuses);
        // The binding fills the hidden combo box with the status key names.
        auto* status = child<QComboBox>("SampleStatus");
        status->addItems({"DISCONN", "IDLE", "SETPARAM", "SAMPLING", "UPLOAD", "SAVING"});
        for (const QString& s : statuses)
            status->setCurrentText(s);
        QTEST(m_panel->isEnabled(), "panelEnabled");
        QTEST(child("LineNo")->isEnabledTo(m_panel.get()) && child("PointNo")->isEnabledTo(m_panel.get()),
              "numbersEnabled");
        QStringList shown;
        for (const char* button : {"Start", "Stop", "SaveOK", "SaveCancel"}) {
            if (!child<QPushButton>(QStringLiteral("pushButton_") + button)->isHidden())
                shown << button;
        }
        QTEST(shown.join(' '), "shown");
    }

    void confirmations()
    {
        bool yes = false;
        QStringList asked;
        DialogHook::setQuestionAnswer([&](const DialogHook::Message& m) {
            asked << m.title + '|' + m.text;
            return yes;
        });
        QSignalSpy stops(m_panel.get(), &Form_SampleControl::clickBtnStop);
        QSignalSpy discards(m_panel.get(), &Form_SampleControl::clickBtnSaveCancel);
        for (bool answer : {false, true}) {
            yes = answer;
            child<QPushButton>("pushButton_Stop")->click();
            child<QPushButton>("pushButton_SaveCancel")->click();
            QCOMPARE(stops.count(), int(answer));
            QCOMPARE(discards.count(), int(answer));
        }
        QCOMPARE(asked.mid(0, 2), (QStringList{"停止采集|请确认停止当前采集！", "停止采集|请确认取消保存！"}));
        QCOMPARE(asked.mid(2), asked.mid(0, 2));
    }

    void shortcutsReachTheirButtonsFromTheNumberFields_data()
    {
        QTest::addColumn<QString>("status");
        QTest::addColumn<int>("key");
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("button");
        for (const char* field : {"LineNo", "PointNo", "ParamPeriod", "ParamRepeat"})
            QTest::addRow("Space from %s", field) << "IDLE" << int(Qt::Key_Space) << field << "Start";
        // Sampling locks the line and point numbers until the next idle.
        for (const char* field : {"ParamPeriod", "ParamRepeat"}) {
            QTest::addRow("Esc from %s", field) << "SAMPLING" << int(Qt::Key_Escape) << field << "Stop";
            QTest::addRow("S from %s", field) << "UPLOAD" << int(Qt::Key_S) << field << "SaveOK";
            QTest::addRow("C from %s", field) << "UPLOAD" << int(Qt::Key_C) << field << "SaveCancel";
        }
    }

    // The keys go to the buttons, not into the field, and a start leaves no
    // field holding the focus.
    void shortcutsReachTheirButtonsFromTheNumberFields()
    {
        QFETCH(QString, status);
        QFETCH(int, key);
        QFETCH(QString, field);
        QFETCH(QString, button);
        DialogHook::setQuestionAnswer([](const DialogHook::Message&) { return true; });
        auto* statuses = child<QComboBox>("SampleStatus");
        statuses->addItems({"DISCONN", "IDLE", "SETPARAM", "SAMPLING", "UPLOAD", "SAVING"});
        statuses->setCurrentText(QStringLiteral("SAMPLING"));
        statuses->setCurrentText(status);
        m_panel->show();
        QVERIFY(QTest::qWaitForWindowActive(m_panel.get(), TestTimeoutMs()));
        QLineEdit* edit = child(field);
        const QString text = edit->text();
        edit->setFocus();
        QSignalSpy clicks(child<QPushButton>("pushButton_" + button), &QPushButton::clicked);
        QTest::keyClick(edit, Qt::Key(key));
        QVERIFY(clicks.count() == 1 || clicks.wait(TestTimeoutMs()));
        QCOMPARE(edit->text(), text);
        if (button == "Start")
            QVERIFY(!qobject_cast<QLineEdit*>(QApplication::focusWidget()));
    }

    void escStopsAfterTheModeChanged_data()
    {
        QTest::addColumn<QList<int>>("modes"); // -1: a new line resets the mode
        QTest::addColumn<QString>("text");
        QTest::newRow("towed chosen") << QList<int>{1} << "停止采集";
        QTest::newRow("towed, then single again") << QList<int>{1, 0} << "取消采集";
        QTest::newRow("a new line resets towed") << QList<int>{1, -1} << "取消采集";
        QTest::newRow("many changes") << QList<int>{1, 0, 1, -1, 1, 0, 1} << "停止采集";
    }

    // The stop button's text follows the mode; its key stays Esc, from the
    // panel and from a number field.
    void escStopsAfterTheModeChanged()
    {
        QFETCH(QList<int>, modes);
        DialogHook::setQuestionAnswer([](const DialogHook::Message&) { return true; });
        auto* mode = child<QComboBox>("ContinueMode");
        mode->addItems({"Single", "Continue"});
        for (int m : modes) {
            if (m < 0)
                m_panel->onChangeLine(true);
            else
                mode->setCurrentIndex(m);
        }
        auto* statuses = child<QComboBox>("SampleStatus");
        statuses->addItems({"DISCONN", "IDLE", "SETPARAM", "SAMPLING", "UPLOAD", "SAVING"});
        statuses->setCurrentText(QStringLiteral("SAMPLING"));
        m_panel->show();
        QVERIFY(QTest::qWaitForWindowActive(m_panel.get(), TestTimeoutMs()));
        auto* stop = child<QPushButton>("pushButton_Stop");
        QTEST(stop->text(), "text");
        QSignalSpy stops(m_panel.get(), &Form_SampleControl::clickBtnStop);
        for (QWidget* from : {static_cast<QWidget*>(m_panel.get()), static_cast<QWidget*>(child("ParamPeriod"))}) {
            from->setFocus();
            const int before = stops.count();
            QTest::keyClick(from, Qt::Key_Escape);
            QVERIFY2(stops.count() > before || stops.wait(TestTimeoutMs()), qPrintable(from->objectName()));
        }
    }

    void frequencyListStaysAscendingWithoutDuplicates()
    {
        m_panel->developerMode(true);
        m_panel->developerMode(true);
        m_panel->addFs(3.0);
        m_panel->developerMode(false);
        auto* fs = child<QComboBox>("ParamFs");
        QStringList texts;
        for (int i = 0; i < fs->count(); ++i)
            texts << fs->itemText(i);
        QCOMPARE(texts.join(' '), QStringLiteral("0.1 0.125 0.25 0.625 1 1.25 2.5 3 6.25 12.5 25 62.5 100"));
    }

    void selectorsLockAndUnlock()
    {
        auto* fs = child<QComboBox>("ParamFs");
        auto* mode = child<QComboBox>("ContinueMode");
        auto* stop = child<QPushButton>("pushButton_Stop");
        mode->addItems({"Single", "Continue"});
        QSignalSpy starts(m_panel.get(), &Form_SampleControl::clickBtnStart);

        m_panel->onChangeLine(true);
        mode->setCurrentIndex(1);
        QVERIFY(child("PointNo")->isHidden() && child("ParamRepeat")->isHidden());
        QCOMPARE(stop->text(), QStringLiteral("停止采集"));
        child<QPushButton>("pushButton_Start")->click();
        QCOMPARE(starts.count(), 1);
        QVERIFY(!fs->isEnabled() && !mode->isEnabled());

        // A new line starts single and may choose again.
        m_panel->onChangeLine(true);
        QVERIFY(fs->isEnabled() && mode->isEnabled());
        QVERIFY(!child("PointNo")->isHidden() && !child("ParamRepeat")->isHidden());
        QCOMPARE(stop->text(), QStringLiteral("取消采集"));

        // A stored record's parameters are shown, not offered for change.
        m_panel->onLoad_Param(12.5, 200, 1);
        QVERIFY(!fs->isEnabled() && !mode->isEnabled());
    }

    void progressFollowsTheHiddenFields_data()
    {
        QTest::addColumn<QString>("max");
        QTest::addColumn<QString>("cur");
        QTest::addColumn<QString>("bar");
        QTest::newRow("new run") << QString("5000") << QString() << QString("on 0/5000");
        QTest::newRow("running") << QString("5000") << QString("1200") << QString("on 1200/5000");
        QTest::newRow("no duration") << QString("0") << QString("300") << QString("off 0/100");
    }

    void progressFollowsTheHiddenFields()
    {
        QFETCH(QString, max);
        QFETCH(QString, cur);
        Form_Status panel;
        // The bindings write the collector's values into these two fields.
        panel.findChild<QLineEdit*>(QStringLiteral("ProgressMax"))->setText(max);
        panel.findChild<QLineEdit*>(QStringLiteral("ProgressCur"))->setText(cur);
        const auto* bar = panel.findChild<QProgressBar*>(QStringLiteral("Sample_progressBar"));
        QTEST(QStringLiteral("%1 %2/%3").arg(bar->isEnabled() ? "on" : "off").arg(bar->value()).arg(bar->maximum()),
              "bar");
    }

    // The operator's presses and the window's run the same path; a refused
    // disconnect leaves the panel as it was.
    void connectAndDisconnectButtons()
    {
        Form_Status panel;
        auto* connect = panel.findChild<QPushButton*>(QStringLiteral("btn_DeviceCon"));
        auto* disconnect = panel.findChild<QPushButton*>(QStringLiteral("btn_DeviceClose"));
        QSignalSpy connects(&panel, &Form_Status::clickBtnConnect);
        QSignalSpy disconnects(&panel, &Form_Status::clickBtnDisconn);
        bool allowed = false;
        panel.setDisconnectCheck([&allowed] { return allowed; });
        const auto state = [&] {
            return QStringLiteral("%1 %2/%3")
                .arg(connect->isHidden() ? "hidden" : "shown")
                .arg(connects.count())
                .arg(disconnects.count());
        };
        QCOMPARE(state(), QStringLiteral("shown 0/0"));
        connect->click();
        QCOMPARE(state(), QStringLiteral("hidden 1/0"));
        disconnect->click();
        panel.pressConnectButton(false);
        QCOMPARE(state(), QStringLiteral("hidden 1/0"));
        allowed = true;
        disconnect->click();
        QCOMPARE(state(), QStringLiteral("shown 1/1"));
        panel.pressConnectButton(true);
        QCOMPARE(state(), QStringLiteral("hidden 2/1"));
        panel.pressConnectButton(false);
        QCOMPARE(state(), QStringLiteral("shown 2/2"));
    }

    // A selected item's flag is shown, not written back; without an item
    // the box shows no tick and takes no click.
    void useFlagIsWrittenOnlyByTheOperator()
    {
        Form_Status panel;
        panel.show();
        auto* use = panel.findChild<QCheckBox*>(QStringLiteral("USE_checkBox"));
        QSignalSpy useChanges(&panel, &Form_Status::useChanged);
        QTest::mouseClick(use, Qt::LeftButton);
        panel.onUseEnabled(true);
        panel.onUse(true);
        QVERIFY(use->isChecked());
        QCOMPARE(useChanges.count(), 0);
        QTest::mouseClick(use, Qt::LeftButton);
        QCOMPARE(useChanges.count(), 1);
        QCOMPARE(useChanges.at(0).at(0).toBool(), false);
        panel.onUse(true);
        panel.onUseEnabled(false);
        QTest::mouseClick(use, Qt::LeftButton);
        QVERIFY(!use->isChecked() && !use->isEnabled());
        QCOMPARE(useChanges.count(), 1);
    }
};

QTEST_MAIN(tst_AcquisitionPanels)
#include "tst_acquisitionpanels.moc"
