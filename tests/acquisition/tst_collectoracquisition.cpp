#include "tests/support/AcqUnitsRig.h"
#include "tools/simunits/SimPayloads.h"

#include <QState>
#include <QtTest>

#include <climits>
#include <tuple>

using namespace CollectorState;

// Acquisitions against simulated units: what goes on the wire, what reaches
// the data model and what the status panel reads, also when units or
// operator misbehave.
class TestCollectorAcquisition : public QObject
{
    Q_OBJECT

private slots:
    void singleRepeatsFollowEachReplyThenSaveOrCancel_data()
    {
        QTest::addColumn<bool>("selfCheck");
        QTest::newRow("TEM") << false;
        QTest::newRow("self-check") << true;
    }

    // The records (8 ms) overtake the delayed start reply, so every set is
    // complete before collecting begins.
    void singleRepeatsFollowEachReplyThenSaveOrCancel()
    {
        QFETCH(bool, selfCheck);
        AcqUnitsRig r(TestLoopback::CollectorAcquisitionTests, 1);
        r.units.Transmitter()->SetReplyDelay(100);
        r.units.Receiver()->SetReplyDelay(100);
        r.c.setProperty("SampleMode", int(selfCheck));
        r.c.SetParamRepeat(3);
        r.c.onLoad_Param(12.5, 10);
        QSignalSpy done(&r.c, &ZOLVA_Collector::repeatsDone);
        QVERIFY(r.online());
        emit r.c.onBtnSampleStart();
        QVERIFY(r.waitFor(SampleWaitSave));

        // Time channels only in TEM mode and only for the first record.
        const QStringList run{"R1", "T1", "T2"};
        QCOMPARE(r.wire, (selfCheck ? QStringList() : QStringList{"R1001"}) + run + run + run);
        // Every request waited for the reply to the one before it.
        for (int i = 1; i < r.wire.size(); ++i)
            QVERIFY2(r.wireMs.at(i) - r.wireMs.at(i - 1) >= 95, qPrintable(r.wire.at(i)));
        const auto channel = ReadAutoTimeChannelPayload(r.units.Receiver()->ReceivedPayloads().first());
        QVERIFY(selfCheck || (channel.ParamFs == 12.5f && channel.ChannelCount == 1250u));
        const st_RecvParam param = r.units.Receiver()->Param();
        QVERIFY(param.ParamFs == 12.5f && param.ParamPeriod == 10 && param.SampleMode == int(selfCheck));
        const st_TEMSendInfo info = r.units.Transmitter()->Config();
        QVERIFY(info.ParamFs == 12.5f && info.ParamPeriod == 10 && info.ContinueMode == 0);

        QVERIFY(r.uploads.count() == 3 && done.count() == 1);
        for (int i = 0; i < 3; ++i) {
            const ZOLVA_Data data = r.upload(i);
            QVERIFY(data.sends.size() == i + 1 && data.recvs.size() == i + 1);
            QVERIFY(data.ParamRepeat == 3 && data.ParamFs == 12.5f && data.SampleMode == quint8(selfCheck));
        }
        QCOMPARE(r.prop("SampleStatus"), int(ZOLVA_Collector::UPLOAD));
        QVERIFY(r.prop("ProgressMax") == 2400 && r.prop("Progress") == 2400);
        QCOMPARE((QVariantList{r.c.property("SendV"), r.c.property("DeviceV"), r.c.property("DeviceTemp")}),
                 (QVariantList{48.0, 24.5, 36.0}));

        r.saves.clear();
        emit r.c.onBtnSaveOK();
        QCOMPARE(r.prop("SampleStatus"), int(ZOLVA_Collector::SAVING));
        emit r.c.cmdSaveOver();
        r.c.SetParamRepeat(1);
        emit r.c.onBtnSampleStart();
        QVERIFY(r.waitFor(SampleWaitSave));
        QVERIFY(r.upload(3).sends.size() == 1 && done.count() == 2);
        emit r.c.onBtnSaveCancel();
        QCOMPARE(r.saves, (QList<QVariantList>{{true}, {false}, {false}}));
        QVERIFY(r.prop("SampleStatus") == ZOLVA_Collector::IDLE && r.prop("Progress") == 0);
    }

    // Each pair is an acquisition of its own, stored at once, from the very
    // first record on, not only once as many as asked have come.
    void continuousStoresEachPairUntilStop()
    {
        AcqUnitsRig r(TestLoopback::CollectorAcquisitionTests, 3, AcqUnitsRig::Quiet);
        r.c.SetParamRepeat(3);
        r.c.onLoad_Param(25.0, 25, 1);
        QVERIFY(r.online() && r.started());
        QVERIFY(r.units.Transmitter()->Config().ContinueMode == 1 && r.units.Receiver()->Param().ContinueMode == 1);
        QSignalSpy repeat(&r.c, &ZOLVA_Collector::onParamRepeatChanged);
        r.feed({1}, {1});
        QVERIFY(r.upload(0).ParamRepeat == 1 && r.prop("ParamRepeat") == 1 && repeat.count() == 1);
        r.feed({2}, {2});
        QCOMPARE(r.uploads.count(), 2);
        for (int i = 0; i < 2; ++i)
            QVERIFY(r.upload(i).sends.size() == 1 && r.upload(i).sends.first().SendFs == 1.0 + i
                    && r.upload(i).ContinueMode == 1);
        QVERIFY(r.in(SampleDataUpload) && r.prop("ProgressMax") == 1000);
        r.c.onBtnSampleStop();
        QVERIFY(r.in(SampleWaitParam));
        QVERIFY(r.sent("R2") && r.sent("T5"));
    }

    void towedRecordsPairByPeriod_data()
    {
        // Reads in order: "R1@0" is the receiver's record of period 1 read at
        // 0 ms, "S2,S3@2000" two transmitter records read at once. Records
        // last 1000 ms.
        QTest::addColumn<QString>("reads");
        QTest::addColumn<QString>("stored"); // periods, in order
        QTest::addColumn<int>("dropped");
        QTest::newRow("alternating") << "S1@0 R1@0 R2@1000 S2@1000 S3@2000 R3@2000"
                                     << "1 2 3" << 0;
        QTest::newRow("R R S S") << "R1@0 R2@1000 S1,S2@1000 R3@2000 S3@2000"
                                 << "1 2 3" << 0;
        QTest::newRow("S S R R") << "S1@0 S2@1000 R1,R2@1000 S3@2000 R3@2000"
                                 << "1 2 3" << 0;
        QStringList held, stored;
        for (int k = 2; k <= 50; ++k)
            held << QStringLiteral("R%1").arg(k);
        for (int k = 1; k <= 50; ++k) {
            held << QStringLiteral("S%1").arg(k);
            stored << QString::number(k);
        }
        QTest::newRow("50 receiver records before the transmitter's 50")
            << "R1@0 " + held.mid(0, 49).join(',') + "@50000 " + held.mid(49).join(',') + "@50000" << stored.join(' ')
            << 0;
        // After the stall the receiver's link is read at once, the
        // transmitter's, with larger records, a few at a time.
        QTest::newRow("one link drained slower") << "S1@0 R1@0 R2,R3,R4@4000 S2@4600 S3@4700 S4@4800 R5@5000 S5@5000"
                                                 << "1 2 3 4 5" << 0;
        QTest::newRow("the last records drained slower") << "S1@0 R1@0 R2,R3@2000 S2@2600 S3@2700"
                                                         << "1 2 3" << 0;
        QTest::newRow("receiver skips one") << "S1@0 R1@0 S2@1000 S3@2000 R3@2000 R4@3000 S4@3000"
                                            << "1 3 4" << 1;
        QTest::newRow("transmitter skips one") << "S1@0 R1@0 R2@1000 R3@2000 S3@2000 S4@3000 R4@3000"
                                               << "1 3 4" << 1;
    }

    // Towing: records pair by the period they belong to, also when one link
    // was read in bursts; a record whose unit sent no partner costs that
    // one period and is counted aloud. Each row runs between 40 periods in
    // step, from which the links learn their rhythm.
    void towedRecordsPairByPeriod()
    {
        QFETCH(QString, reads);
        QFETCH(QString, stored);
        QFETCH(int, dropped);
        constexpr int Lead = 40;
        QStringList run, expected;
        const auto inStep = [&](int period, qint64 at) {
            run << QStringLiteral("S%1@%2").arg(period).arg(at) << QStringLiteral("R%1@%2").arg(period).arg(at);
            expected << QString::number(period);
        };
        for (int k = 1; k <= Lead; ++k)
            inStep(k, (k - 1) * 1000);
        int lastPeriod = 0;
        qint64 last = 0;
        for (const QString& read : reads.split(' ')) {
            QStringList records;
            for (const QString& record : read.section('@', 0, 0).split(',')) {
                lastPeriod = std::max(lastPeriod, record.mid(1).toInt() + Lead);
                records << record.left(1) + QString::number(record.mid(1).toInt() + Lead);
            }
            last = read.section('@', 1).toLongLong() + Lead * 1000;
            run << records.join(',') + '@' + QString::number(last);
        }
        for (const QString& period : stored.split(' '))
            expected << QString::number(period.toInt() + Lead);
        for (int k = 1; k <= Lead; ++k)
            inStep(lastPeriod + k, std::max(last, (lastPeriod + k - 1) * 1000LL));

        AcqUnitsRig r(TestLoopback::CollectorAcquisitionTests, 15, AcqUnitsRig::Quiet);
        r.c.onLoad_Param(25.0, 25, 1);
        QVERIFY(r.online() && r.started());
        const QString linkText = r.text();
        for (int i = 0; i < dropped; ++i)
            QTest::ignoreMessage(QtWarningMsg,
                                 QRegularExpression(QStringLiteral("^\\d{8} \\d\\d:\\d\\d:\\d\\d\\.\\d{3} towed "
                                                                   "(transmitter|receiver) record dropped without "
                                                                   "its partner; %1 dropped")
                                                        .arg(i + 1)));
        for (const QString& read : run) {
            const qint64 at = read.section('@', 1).toLongLong();
            for (const QString& record : read.section('@', 0, 0).split(',')) {
                const double period = record.mid(1).toDouble();
                if (record.startsWith('S')) {
                    st_TEMSendData d;
                    d.SendFs = period;
                    d.ArrivalMs = at;
                    emit r.c.findChild<iLibSend*>()->TEM_NewSendData(d);
                } else {
                    st_RecvData_VRX2208 d;
                    d.SendFs = period;
                    d.ArrivalMs = at;
                    emit r.c.findChild<ILibRecv_VRX2208*>()->onRecvData(d);
                }
            }
            QCoreApplication::processEvents();
        }
        QStringList storedPeriods;
        for (int i = 0; i < r.uploads.count(); ++i) {
            const ZOLVA_Data upload = r.upload(i);
            QVERIFY(upload.sends.size() == 1 && upload.recvs.size() == 1);
            storedPeriods << QString::number(upload.sends.first().SendFs)
                    + (upload.recvs.first().SendFs == upload.sends.first().SendFs ? QString() : QStringLiteral("?"));
        }
        QCOMPARE(storedPeriods.join(' '), expected.join(' '));
        QCOMPARE(r.text(), dropped ? linkText + "<p style='color:red;'>丢弃记录 1</p>" : linkText);

        // The stop counts what still waits: a record whose partner never came.
        st_RecvData_VRX2208 unpartnered;
        unpartnered.SendFs = lastPeriod + Lead + 1;
        unpartnered.ArrivalMs = (lastPeriod + Lead) * 1000LL;
        emit r.c.findChild<ILibRecv_VRX2208*>()->onRecvData(unpartnered);
        QTest::ignoreMessage(QtWarningMsg,
                             QRegularExpression(QStringLiteral("towed receiver record dropped without "
                                                               "its partner; %1 dropped")
                                                    .arg(dropped + 1)));
        r.c.onBtnSampleStop();
        QVERIFY(r.waitFor(CollectorState::SampleWaitParam));
        QCOMPARE(r.uploads.count(), storedPeriods.size());
        // Shown once the units took their stops.
        QTRY_COMPARE_WITH_TIMEOUT(r.text(),
                                  linkText + QStringLiteral("<p style='color:red;'>丢弃记录 %1</p>").arg(dropped + 1),
                                  TestTimeoutMs());

        // The count belongs to one acquisition; shown beside a refused start,
        // it gives way with the refusal at the next start.
        r.c.onLoad_Param(0.0, 25, 1);
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("^Acquisition not started")));
        emit r.c.onBtnSampleStart();
        r.c.onLoad_Param(25.0, 25, 1);
        emit r.c.onBtnSampleStart();
        QCOMPARE(r.text(), QStringLiteral("<p style='color:green;'>已连接</p>"));
    }

    // A link lost while towing ends it as a stop does: every record already
    // read is stored with its partner or counted.
    void towedLinkLossCountsWhatWaits()
    {
        AcqUnitsRig r(TestLoopback::CollectorAcquisitionTests, 15, AcqUnitsRig::Quiet);
        r.c.onLoad_Param(25.0, 25, 1);
        QVERIFY(r.online() && r.started());
        auto* send = r.c.findChild<iLibSend*>();
        auto* recv = r.c.findChild<ILibRecv_VRX2208*>();
        for (int period = 1; period <= 41; ++period) {
            st_RecvData_VRX2208 v;
            v.SendFs = period;
            v.ArrivalMs = period * 1000;
            emit recv->onRecvData(v);
            // The receiver's last record waits for a partner still on its way.
            if (period == 41)
                break;
            st_TEMSendData d;
            d.SendFs = period;
            d.ArrivalMs = period * 1000;
            emit send->TEM_NewSendData(d);
        }
        QCOMPARE(r.uploads.count(), 40);
        QTest::ignoreMessage(QtWarningMsg,
                             QRegularExpression(QStringLiteral("towed receiver record dropped without "
                                                               "its partner; 1 dropped")));
        QTest::ignoreMessage(QtWarningMsg, "Transmitter link lost; acquisition stopped");
        QSignalSpy lost(&r.c, &ZOLVA_Collector::deviceDisconnect);
        r.units.Transmitter()->CloseConnection();
        QVERIFY(lost.wait(TestTimeoutMs()));
        QCOMPARE(r.uploads.count(), 40);
        QVERIFY2(r.text().endsWith(QStringLiteral("<p style='color:red;'>丢弃记录 1</p>")), qPrintable(r.text()));
    }

    void progressStaysInRangeOnTheStartingParameters()
    {
        AcqUnitsRig r(TestLoopback::CollectorAcquisitionTests, 7, AcqUnitsRig::Quiet);
        // Records shorter than 1 ms count as 1 ms: the bar never runs below 0.
        r.c.onLoad_Param(2000.0, 1);
        QVERIFY(r.online() && r.started());
        r.c.ProgressAdd();
        QVERIFY(r.prop("Progress") == 0 && r.prop("ProgressMax") == 2);

        r.c.onBtnSampleStop();
        r.c.onLoad_Param(0.1, 99999);
        r.c.SetParamRepeat(3);
        QVERIFY(r.started());
        QCOMPARE(r.prop("ProgressMax"), INT_MAX);
        // The fields stay editable while sampling; the acquisition keeps the
        // parameters it started with for all its repeats.
        r.c.SetParamRepeat(0);
        r.c.onLoad_Param(50.0, 3);
        QSignalSpy collecting(r.state(SampleDataUpload), &QState::entered);
        for (int record = 1; record <= 2; ++record) {
            r.feed({1}, {1});
            QCOMPARE(r.prop("Progress"), record * 999990000);
            QVERIFY(collecting.wait(TestTimeoutMs()));
        }
        r.c.ProgressAdd();
        QCOMPARE(r.prop("Progress"), 1999980200);
        r.feed({3}, {3});
        QCOMPARE(r.prop("Progress"), INT_MAX);
        QVERIFY(r.waitFor(SampleWaitSave) && r.uploads.count() == 3);
        const ZOLVA_Data last = r.upload(2);
        QVERIFY(last.ParamRepeat == 3 && last.ParamFs == 0.1f && last.ParamPeriod == 99999 && last.sends.size() == 3);
        QVERIFY(r.units.Transmitter()->Config().ParamFs == 0.1f && r.units.Receiver()->Param().ParamPeriod == 99999);
        QCOMPARE(r.prop("ProgressMax"), INT_MAX);
    }

    void unusableParametersStartNothing()
    {
        AcqUnitsRig r(TestLoopback::CollectorAcquisitionTests, 9);
        QVERIFY(r.online());
        QSignalSpy refusals(&r.c, &ZOLVA_Collector::sampleRefused);
        using Params = std::tuple<double, int, int>; // frequency, periods, repeats
        for (const auto& [fs, period, repeat] :
             {Params{0.0, 25, 2}, Params{qInf(), 25, 2}, Params{25.0, 0, 2}, Params{25.0, 25, 0}}) {
            r.c.onLoad_Param(fs, period);
            r.c.SetParamRepeat(repeat);
            QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("^Acquisition not started")));
            emit r.c.onBtnSampleStart();
            QCOMPARE(r.prop("SampleStatus"), int(ZOLVA_Collector::IDLE));
            QCOMPARE(r.text(), QStringLiteral("<p style='color:red;'>采集参数无效</p>"));
        }
        QVERIFY(r.wire.isEmpty());
        QCOMPARE(refusals.count(), 4);
        QCOMPARE(refusals.at(2).at(0).toString(),
                 QStringLiteral("采集参数无效（频率 25 Hz，叠加 0 次，重复 2 次），采集未开始！"));

        // The next start shows the link again.
        r.c.onLoad_Param(25.0, 25);
        r.c.SetParamRepeat(1);
        emit r.c.onBtnSampleStart();
        QCOMPARE(r.text(), QStringLiteral("<p style='color:green;'>已连接</p>"));
    }

    // Nothing of a stopped attempt reaches the next one: not its records,
    // arriving while waiting or while the next one configures the units, not
    // its start reply, still due, and not its stop: the next waits until the
    // units took it, and one left unanswered is asked again before, never
    // into the next acquisition.
    void nothingOfAStoppedAttemptReachesTheNext()
    {
        AcqUnitsRig r(TestLoopback::CollectorAcquisitionTests, 13, AcqUnitsRig::Quiet);
        r.units.Transmitter()->SetReplyDelay(300);
        r.units.Receiver()->SetReplyDelay(200);
        r.c.SetParamRepeat(1);
        QVERIFY(r.online());
        emit r.c.onBtnSampleStart();
        QVERIFY(r.sent("T2"));
        r.c.onBtnSampleStop();
        r.feed({1}, {1});
        r.wire.clear();
        QStringList configured;
        connect(r.state(SampleDataUpload), &QState::entered, [&] { configured = r.wire; });
        r.c.SetParamFs(25.05);
        emit r.c.onBtnSampleStart();
        QVERIFY(r.in(SampleAwaitStop));
        r.feed({25.0}, {25.0});
        QCOMPARE(r.uploads.count(), 0);
        // The next acquisition is a first record again: it asks for channels.
        QVERIFY(r.waitFor(SampleDataUpload, 2 * TestTimeoutMs()));
        configured.removeAll(QStringLiteral("R2"));
        configured.removeAll(QStringLiteral("T5"));
        QCOMPARE(configured, (QStringList{"R1001", "R1", "T1", "T2"}));
        r.feed({25.05}, {25.05});
        QCOMPARE(r.uploads.count(), 1);
        QVERIFY(r.upload(0).sends.first().SendFs == 25.05 && r.upload(0).recvs.first().SendFs == 25.05);

        // Within an acquisition a request is resent; so is the stop, before
        // the next acquisition begins.
        emit r.c.onBtnSaveCancel();
        r.units.Transmitter()->SetReplyDelay(0);
        r.units.Receiver()->SetReplyDelay(0);
        auto* transmitter = r.c.findChild<iLibSend*>();
        transmitter->SetTimeout(50);
        QVERIFY(r.started());
        r.wire.clear();
        r.units.Transmitter()->DropReplies(1);
        r.c.onBtnSampleStop();
        QVERIFY(r.sent("T5"));
        QVERIFY(r.started());
        QSignalSpy ticks(transmitter->findChild<QTimer*>(QString(), Qt::FindDirectChildrenOnly), &QTimer::timeout);
        QVERIFY(QTest::qWaitFor([&] { return ticks.count() >= 2; }, 2 * TestTimeoutMs()));
        QCOMPARE(r.wire.count(QStringLiteral("T5")), 2);
        QCOMPARE(r.wire.filter(QRegularExpression(QStringLiteral("^T"))).mid(0, 3), (QStringList{"T5", "T5", "T1"}));
        QVERIFY(r.in(SampleDataUpload) && r.units.IsRunning());
    }

    // A refusal that no step awaits, a unit repeating an old answer as its
    // own report, say, ends nothing.
    void refusalNoStepAwaitsStopsNothing()
    {
        AcqUnitsRig r(TestLoopback::CollectorAcquisitionTests, 17, AcqUnitsRig::Quiet);
        QSignalSpy refusals(&r.c, &ZOLVA_Collector::sampleRefused);
        QSignalSpy channels(r.c.findChild<ILibRecv_VRX2208*>(), &ILibRecv_VRX2208::onRecvAutoChannel);
        QSignalSpy started(r.c.findChild<iLibSend*>(), &iLibSend::TEM_Strated);
        QVERIFY(r.online() && r.started());
        r.wire.clear();
        const QByteArray refused(4, '\0');
        for (quint32 command : {1u, 1001u})
            r.units.Receiver()->SendReport(command, refused);
        for (quint32 command : {1u, 2u})
            r.units.Transmitter()->SendReport(command, refused);
        QVERIFY(channels.wait(TestTimeoutMs()) && (!started.isEmpty() || started.wait(TestTimeoutMs())));
        QVERIFY(refusals.isEmpty() && r.in(SampleDataUpload) && r.wire.isEmpty());
    }
};

QTEST_MAIN(TestCollectorAcquisition)
#include "tst_collectoracquisition.moc"
