#include "tests/support/HeldProjectFile.h"
#include "tests/support/StoringRig.h"

#include <QtTest>

#include <algorithm>
#include <memory>

using namespace CollectorState;

// Acquisitions stored while another program holds the project file, or the
// disk is full: nothing the units sent is lost while the file comes back,
// the cause is told once, and the window goes on meanwhile.
class TestHeldProjectFile : public QObject
{
    Q_OBJECT

    int nextHost = 1;
    int hosts() { return (nextHost += 2) - 2; }

    static void eachFault()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QString>("cause");
        const QString held = QStringLiteral("工程文件被其他程序占用");
        QTest::newRow("read transaction") << "read" << held;
        QTest::newRow("write lock") << "write" << held;
        QTest::newRow("full disk") << "full" << QStringLiteral("磁盘已满");
    }

    // The file stops taking writes; empty once it takes them again.
    static std::unique_ptr<HeldProjectFile> hold(StoringRig& r, const QString& fault)
    {
        if (fault == "full")
            StoringRig::sql(QStringLiteral("PRAGMA max_page_count = ") + StoringRig::sql("PRAGMA page_count"));
        else if (fault == "removed")
            QFile::remove(r.dir.filePath(QStringLiteral("field.ZOLVA")));
        if (fault == "full" || fault == "removed")
            return nullptr;
        return std::make_unique<HeldProjectFile>(r.dir.filePath(QStringLiteral("field.ZOLVA")),
                                                 fault == "read" ? HeldProjectFile::Read : HeldProjectFile::Write);
    }

private slots:
    void initTestCase() { qRegisterMetaType<ZOLVA_Data>(); }
    void cleanup() { StoringRig::sql(QStringLiteral("PRAGMA max_page_count = 1000000000")); }

    void towingWhileTheFileTakesNoWrites_data() { eachFault(); }

    // Towing at 12.5 Hz and 5 periods, 5 times faster than in the field,
    // while the file takes no writes for 30 records, two tries. A box stays
    // open for 10 of them, as one the operator has not seen yet. A held file,
    // once free, takes every record in its order; what waits for a full
    // disk at the stop is counted and told.
    void towingWhileTheFileTakesNoWrites()
    {
        QFETCH(QString, fault);
        QFETCH(QString, cause);
        StoringRig r(TestLoopback::HeldFileTests, hosts(), 0.2);
        r.c.onLoad_Param(12.5, 5, 1);
        QVERIFY(r.ready());
        int open = 0, deepest = 0;
        DialogHook::setMessageAnswer([&](const DialogHook::Message& m) {
            r.messages << m.text;
            deepest = std::max(deepest, ++open);
            const int until = r.uploads.count() + 10;
            if (r.in(SampleDataUpload))
                QVERIFY(QTest::qWaitFor([&] { return r.uploads.count() >= until; }, TestTimeoutMs()));
            --open;
        });
        QStringList shown, stored;
        connect(&r.c, &ZOLVA_Collector::statusConnectChanged, [&](const QString& text) { shown << text; });
        connect(&r.model, &DataModel_Index::storeStatusChanged, [&](const QString& text) { stored << text; });
        emit r.c.onBtnSampleStart();
        QVERIFY(QTest::qWaitFor([&] { return r.count("Data_Sample") >= 5; }, TestTimeoutMs()));

        std::unique_ptr<HeldProjectFile> held = hold(r, fault);
        QVERIFY(!held || held->held);
        const int before = r.count("Data_Sample");
        // The longest the window keeps away from its event loop, catching up included.
        QElapsedTimer beat;
        qint64 stall = 0;
        QTimer ticks;
        connect(&ticks, &QTimer::timeout, [&] { stall = std::max(stall, beat.restart()); });
        beat.start();
        ticks.start(5);
        QVERIFY(QTest::qWaitFor([&] { return r.uploads.count() >= before + 30; }, 2 * TestTimeoutMs()));
        QVERIFY(r.count("Data_Sample") == before && deepest == 1);
        QVERIFY(stored.last().contains(cause));
        held.reset();
        if (fault != "full")
            QVERIFY(QTest::qWaitFor([&] { return r.count("Data_Sample") == r.uploads.count(); }, TestTimeoutMs()));
        ticks.stop();
        qInfo("longest stall of the window until the file took writes again: %lld ms", stall);
        // A try waits a tenth of a second for the file, not the driver's 5 s.
        QVERIFY2(stall < 1000, qPrintable(QString::number(stall)));
        QCOMPARE(r.messages.size(), 1);
        QVERIFY(r.messages.first().startsWith("数据添加失败," + cause));
        QVERIFY2(!r.text().contains("丢弃"), qPrintable(r.text()));

        r.c.onBtnSampleStop();
        QVERIFY(r.in(SampleWaitParam));
        const int lost = r.uploads.count() - r.count("Data_Sample");
        if (fault == "full") {
            QVERIFY(lost >= 30);
            QTRY_COMPARE_WITH_TIMEOUT(
                r.messages.last(), QStringLiteral("%1 条拖曳记录未能写入工程文件,磁盘已满").arg(lost), TestTimeoutMs());
        } else {
            QCOMPARE(lost, 0);
        }
        QCOMPARE(r.storedValues(), r.uploadedValues().mid(0, r.uploads.count() - lost));
        QCOMPARE(stored.last(), QString());
        QVERIFY(std::none_of(shown.begin(), shown.end(), [](const QString& t) { return t.contains("无数据"); }));
        QCOMPARE(r.unsound(), QString());
    }

    void singleSaveWhileTheFileTakesNoWrites_data()
    {
        eachFault();
        QTest::newRow("file removed") << "removed" << QStringLiteral("工程文件已不存在或为只读");
    }

    // The acquisition is kept: told with its cause, offered for 保存 again
    // on its point number, and stored whole once the file takes it.
    void singleSaveWhileTheFileTakesNoWrites()
    {
        QFETCH(QString, fault);
        QFETCH(QString, cause);
        StoringRig r(TestLoopback::HeldFileTests, hosts());
        r.c.SetParamRepeat(2);
        QVERIFY(r.ready());
        r.model.setProperty("PointNo", 120.0);
        emit r.c.onBtnSampleStart();
        QVERIFY(r.waitFor(SampleWaitSave));
        std::unique_ptr<HeldProjectFile> held = hold(r, fault);
        emit r.c.onBtnSaveOK();
        QVERIFY(r.waitFor(SampleWaitSave));
        QCOMPARE(r.messages, QStringList{"数据添加失败," + cause});
        QVERIFY(r.prop("SampleStatus") == ZOLVA_Collector::UPLOAD && r.model.pointNo() == 120.0);
        QCOMPARE(r.count("Data_Sample"), 0);
        if (fault == "removed")
            return;

        held.reset();
        cleanup();
        emit r.c.onBtnSaveOK();
        QVERIFY(r.waitFor(SampleWaitParam));
        QCOMPARE(r.storedValues(), r.uploadedValues(r.uploads.count() - 1));
        QCOMPARE(r.model.pointNo(), 130.0);
        QCOMPARE(r.unsound(), QString());
    }
};

QTEST_MAIN(TestHeldProjectFile)
#include "tst_heldprojectfile.moc"
