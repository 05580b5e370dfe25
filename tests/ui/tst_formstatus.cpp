#include "ui/Form_Status.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

class tst_FormStatus : public QObject
{
    Q_OBJECT

private slots:
    void progressFollowsTheHiddenFields_data()
    {
        QTest::addColumn<QString>("max");
        QTest::addColumn<QString>("cur");
        QTest::addColumn<bool>("enabled");
        QTest::addColumn<int>("maximum");
        QTest::addColumn<int>("value");
        QTest::newRow("new run") << "5000" << QString() << true << 5000 << 0;
        QTest::newRow("running") << "5000"
                                 << "1200" << true << 5000 << 1200;
        QTest::newRow("no duration") << "0"
                                     << "300" << false << 100 << 0;
        QTest::newRow("not a number") << "5s"
                                      << "300" << false << 100 << 0;
    }

    void progressFollowsTheHiddenFields()
    {
        QFETCH(QString, max);
        QFETCH(QString, cur);
        Form_Status panel;
        // The bindings write the collector's values into these two fields.
        panel.findChild<QLineEdit*>(QStringLiteral("ProgressMax"))->setText(max);
        panel.findChild<QLineEdit*>(QStringLiteral("ProgressCur"))->setText(cur);
        auto* bar = panel.findChild<QProgressBar*>(QStringLiteral("Sample_progressBar"));
        QTEST(bar->isEnabled(), "enabled");
        QTEST(bar->maximum(), "maximum");
        QTEST(bar->value(), "value");
    }

    void pressesAndUseFlag()
    {
        Form_Status panel;
        panel.show();
        auto* connect = panel.findChild<QPushButton*>(QStringLiteral("btn_DeviceCon"));
        auto* use = panel.findChild<QCheckBox*>(QStringLiteral("USE_checkBox"));
        QSignalSpy connects(&panel, &Form_Status::clickBtnConnect);
        QSignalSpy disconnects(&panel, &Form_Status::clickBtnDisconn);
        QSignalSpy useChanges(&panel, &Form_Status::useChanged);

        panel.pressConnectButton(true);
        QVERIFY(connect->isHidden());
        QCOMPARE(connects.count(), 1);
        QTest::mouseClick(panel.findChild<QPushButton*>(QStringLiteral("btn_DeviceClose")), Qt::LeftButton);
        QVERIFY(!connect->isHidden());
        QCOMPARE(disconnects.count(), 1);

        // A selected item's flag is shown, not written back.
        panel.onUse(true);
        QVERIFY(use->isChecked());
        QCOMPARE(useChanges.count(), 0);
        QTest::mouseClick(use, Qt::LeftButton);
        QCOMPARE(useChanges.count(), 1);
        QCOMPARE(useChanges.at(0).at(0).toBool(), false);
    }
};

QTEST_MAIN(tst_FormStatus)
#include "tst_formstatus.moc"
