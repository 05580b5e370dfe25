#include "tests/support/HeldProjectFile.h"
#include "tests/support/StallMeter.h"
#include "tests/support/StoringRig.h"

#include "project/TreeLabels.h"

#include <QtTest>

#include <algorithm>
#include <memory>

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define HEAP_FROM_SANITIZER
#endif
#endif
#if defined(__SANITIZE_ADDRESS__)
#define HEAP_FROM_SANITIZER
#endif
#ifdef HEAP_FROM_SANITIZER
#include <sanitizer/allocator_interface.h>
#else
#include <malloc.h>
#endif

using namespace CollectorState;

namespace {

// Bytes the program holds on its heap now; what the sanitizers keep of
// freed blocks does not count.
qint64 heapInUse()
{
#ifdef HEAP_FROM_SANITIZER
    return qint64(__sanitizer_get_current_allocated_bytes());
#else
    const struct mallinfo2 heap = mallinfo2();
    return qint64(heap.uordblks + heap.hblkhd);
#endif
}

// A towed self-check pair of 2.5 Hz as the units send it: 62 500 samples
// with their times and widths, 1.5 MB.
ZOLVA_Data fullWaveformPair(qint64 startMs)
{
    ZOLVA_Data data;
    data.SampleMode = 1;
    data.ContinueMode = 1;
    data.ParamFs = 2.5f;
    st_RecvData_VRX2208 recv;
    recv.TYPE = 2;
    recv.StartTime = startMs;
    for (QVector<double>* curve : {&recv.times, &recv.widths, &recv.values})
        *curve = QVector<double>(62500, double(startMs));
    data.sends = {st_TEMSendData()};
    data.recvs = {recv};
    return data;
}

int failedRowWrites = 0;
QtMessageHandler logged = nullptr;

void countFailedRowWrites(QtMsgType type, const QMessageLogContext& context, const QString& text)
{
    if (text.startsWith(QLatin1String("row cannot be written")))
        ++failedRowWrites;
    logged(type, context, text);
}

} // namespace

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
    // disk at the stop is stored once the disk has room again.
    void towingWhileTheFileTakesNoWrites()
    {
        QFETCH(QString, fault);
        QFETCH(QString, cause);
        QStringList shown, stored;
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
        connect(&r.c, &ZOLVA_Collector::statusConnectChanged, [&](const QString& text) { shown << text; });
        connect(&r.model, &DataModel_Index::storeStatusChanged, [&](const QString& text) { stored << text; });
        emit r.c.onBtnSampleStart();
        QVERIFY(QTest::qWaitFor([&] { return r.count("Data_Sample") >= 5; }, TestTimeoutMs()));

        std::unique_ptr<HeldProjectFile> held = hold(r, fault);
        QVERIFY(!held || held->held);
        const int before = r.count("Data_Sample");
        // The longest the window keeps away from its event loop, catching up included.
        StallMeter meter;
        meter.start();
        QVERIFY(QTest::qWaitFor([&] { return r.uploads.count() >= before + 30; }, 2 * TestTimeoutMs()));
        QVERIFY(r.count("Data_Sample") == before && deepest == 1);
        QVERIFY(stored.last().contains(cause));
        held.reset();
        if (fault != "full")
            QVERIFY(QTest::qWaitFor([&] { return r.count("Data_Sample") == r.uploads.count(); }, TestTimeoutMs()));
        const qint64 stall = meter.longest();
        qInfo("longest stall of the window until the file took writes again: %lld ms", stall);
        // A try waits a tenth of a second for the file, not the driver's 5 s.
        QVERIFY2(stall < 1000, qPrintable(QString::number(stall)));
        QCOMPARE(r.messages.size(), 1);
        QVERIFY(r.messages.first().startsWith("数据添加失败," + cause));
        QVERIFY2(!r.text().contains("丢弃"), qPrintable(r.text()));

        r.c.onBtnSampleStop();
        QVERIFY(r.in(SampleWaitParam));
        if (fault == "full") {
            QVERIFY(r.model.towedWaiting() >= 30);
            cleanup();
            QVERIFY(QTest::qWaitFor([&] { return r.count("Data_Sample") == r.uploads.count(); }, TestTimeoutMs()));
        }
        QCOMPARE(r.messages.size(), 1);
        QCOMPARE(r.storedValues(), r.uploadedValues());
        QCOMPARE(stored.last(), QString());
        QVERIFY(std::none_of(shown.begin(), shown.end(), [](const QString& t) { return t.contains("无数据"); }));
        QCOMPARE(r.unsound(), QString());
    }

    void backlogOutlivesTheAcquisition_data()
    {
        QTest::addColumn<QString>("ending");
        QTest::addColumn<int>("waiting");
        QTest::newRow("stop") << "stop" << 300;
        QTest::newRow("link lost") << "link lost" << 100;
        QTest::newRow("disconnect") << "disconnect" << 100;
    }

    // Pairs waiting for a held file when the acquisition ends go on waiting,
    // counted in the status; once the file is free every pair is stored,
    // once and in its order, in slices that leave the window its time.
    void backlogOutlivesTheAcquisition()
    {
        QFETCH(QString, ending);
        QFETCH(int, waiting);
        QStringList stored;
        StoringRig r(TestLoopback::HeldFileTests, hosts(), 0.005);
        r.c.onLoad_Param(12.5, 5, 1);
        QVERIFY(r.ready());
        connect(&r.model, &DataModel_Index::storeStatusChanged, [&](const QString& text) { stored << text; });
        emit r.c.onBtnSampleStart();
        QVERIFY(QTest::qWaitFor([&] { return r.count("Data_Sample") >= 3; }, TestTimeoutMs()));
        HeldProjectFile held(r.dir.filePath(QStringLiteral("field.ZOLVA")), HeldProjectFile::Write);
        QVERIFY(held.held);
        QVERIFY(QTest::qWaitFor([&] { return r.model.towedWaiting() >= waiting; }, 4 * TestTimeoutMs()));

        StallMeter meter;
        meter.start();
        if (ending == "stop") {
            r.c.onBtnSampleStop();
        } else if (ending == "disconnect") {
            r.c.onBtnSampleStop();
            emit r.c.onBtnDisconn();
            QVERIFY(r.waitFor(DeviceWaitSet));
        } else {
            r.unit('R')->CloseConnection();
        }
        QVERIFY(r.waitFor(ending == "disconnect" ? DeviceWaitSet : SampleWaitParam));
        const int uploaded = r.uploads.count();
        QCOMPARE(r.model.towedWaiting(), uploaded - r.count("Data_Sample"));
        QCOMPARE(
            stored.last(),
            QStringLiteral("<p style='color:red;'>工程文件被其他程序占用，%1 条待存</p>").arg(r.model.towedWaiting()));

        held.release();
        QVERIFY(QTest::qWaitFor([&] { return r.model.towedWaiting() == 0; }, 4 * TestTimeoutMs()));
        const qint64 stall = meter.longest();
        qInfo("longest stall of the window from the %s until %d pairs were stored: %lld ms", qPrintable(ending),
              uploaded - 3, stall);
        QVERIFY2(stall < 1000, qPrintable(QString::number(stall)));
        QCOMPARE(r.uploads.count(), uploaded);
        QCOMPARE(r.storedValues(), r.uploadedValues());
        QCOMPARE(r.messages.size(), 1);
        QVERIFY(r.messages.first().startsWith(QStringLiteral("数据添加失败,工程文件被其他程序占用")));
        QCOMPARE(stored.last(), QString());
        QCOMPARE(r.unsound(), QString());
    }

    // 100 pairs of 1.5 MB while the file is held: the memory they take stays
    // within the bound of 64 MB, the first ones wait and are stored once the
    // file is free, and the rest are counted in the status and told with the
    // times between which they are missing.
    void fullWaveformBacklogStaysWithinItsBound()
    {
        QStringList messages, stored;
        DialogHook::setMessageAnswer([&](const DialogHook::Message& m) { messages << m.text; });
        QTemporaryDir dir;
        DataModel_Index model;
        connect(&model, &DataModel_Index::storeStatusChanged, [&](const QString& text) { stored << text; });
        QVERIFY(model.openProject(dir.filePath(QStringLiteral("field.ZOLVA"))));
        model.setProperty("LineNo", 7.0);
        const qint64 first = QDateTime(QDate(2026, 3, 1), QTime(10, 0)).toMSecsSinceEpoch();
        constexpr int pairs = 100;
        constexpr qint64 bound = 64 * 1024 * 1024;

        auto held =
            std::make_unique<HeldProjectFile>(dir.filePath(QStringLiteral("field.ZOLVA")), HeldProjectFile::Write);
        QVERIFY(held->held);
        const qint64 before = heapInUse();
        qint64 most = 0;
        for (int n = 0; n < pairs; ++n) {
            model.dataUpload(fullWaveformPair(first + 400 * n));
            model.dataSave(true);
            most = std::max(most, heapInUse() - before);
        }
        const int waiting = model.towedWaiting();
        qInfo("%d full-waveform pairs waiting for the held file, %d lost past the bound; the heap grew by at most "
              "%lld MB",
              waiting, pairs - waiting, most / (1024 * 1024));
        // The kept record, the one made and the status beside what waits.
        QVERIFY2(most < bound + 6 * 1024 * 1024, qPrintable(QString::number(most)));
        QVERIFY(waiting > 30 && waiting < pairs);
        QCOMPARE(stored.last(),
                 QStringLiteral("<p style='color:red;'>工程文件被其他程序占用，%1 条待存</p>"
                                "<p style='color:red;'>未存记录 %2</p>")
                     .arg(waiting)
                     .arg(pairs - waiting));

        held.reset();
        QVERIFY(QTest::qWaitFor([&] { return model.towedWaiting() == 0; }, TestTimeoutMs()));
        QCOMPARE(StoringRig::sql(QStringLiteral("SELECT COUNT(*) FROM Data_Sample WHERE TYPE = 2 AND "
                                                "length(DATA_RECV) = 500000 ORDER BY ID")),
                 QString::number(waiting));
        QCOMPARE(StoringRig::sql(QStringLiteral("SELECT StartTime FROM Data_Sample ORDER BY ID")).split('|').last(),
                 QString::number(first + 400 * (waiting - 1)));
        model.closeProject();
        QVERIFY(QTest::qWaitFor([&] { return messages.size() == 2; }, TestTimeoutMs()));
        QCOMPARE(
            messages.last(),
            QStringLiteral("%1 条拖曳记录未能写入工程文件,工程文件被其他程序占用\n缺 %2 至 %3，%1 条")
                .arg(pairs - waiting)
                .arg(TreeLabels::timedPoint(first + 400 * waiting), TreeLabels::timedPoint(first + 400 * (pairs - 1))));
        DialogHook::setMessageAnswer({});
    }

    void networkNameWaitsForTheFile_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QStringList>("told");
        QTest::newRow("write lock") << "write" << QStringList();
        QTest::newRow("file removed") << "removed" << QStringList{"网络名称保存失败,工程文件已不存在或为只读"};
    }

    // The units connect while another program holds the file: the network
    // name is stored once the file is free. A file that cannot take it is told.
    void networkNameWaitsForTheFile()
    {
        QFETCH(QString, fault);
        QFETCH(QStringList, told);
        StoringRig r(TestLoopback::HeldFileTests, hosts());
        failedRowWrites = 0;
        logged = qInstallMessageHandler(countFailedRowWrites);
        std::unique_ptr<HeldProjectFile> held = hold(r, fault);
        QVERIFY(r.ready());
        const bool failed = QTest::qWaitFor([] { return failedRowWrites > 0; }, TestTimeoutMs());
        qInstallMessageHandler(logged);
        QVERIFY(failed);
        if (!held) {
            QTRY_COMPARE_WITH_TIMEOUT(r.messages, told, TestTimeoutMs());
            return;
        }
        QCOMPARE(StoringRig::sql(QStringLiteral("SELECT ifnull(SSID, '') FROM Data_Project")), QString());
        held.reset();
        QTRY_COMPARE_WITH_TIMEOUT(StoringRig::sql(QStringLiteral("SELECT SSID FROM Data_Project")),
                                  QStringLiteral("FieldNet"), TestTimeoutMs());
        QCOMPARE(r.messages, told);
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
