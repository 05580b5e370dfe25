#include "StoredAcquisition.h"
#include "tests/support/HeldProjectFile.h"
#include "tests/support/ProjectWalk.h"
#include "tests/support/StoringRig.h"

#include <QLoggingCategory>
#include <QRandomGenerator>
#include <QSqlQuery>
#include <QtTest>

#include <memory>

namespace {

constexpr int Repeats = 4;
constexpr int Gates = 1024;

// Line / point / sample count of every point in the tree. A towed point is
// named by its place: its label is the time of its sample, which SQLite
// reads as empty from a page cut short.
QStringList contents(const DataModel_Index& model)
{
    QStringList found;
    for (int i = 0; i < model.topLevelItemCount(); ++i) {
        const QTreeWidgetItem* line = model.topLevelItem(i);
        const QString name = line->text(0).section(QLatin1Char(' '), 0, 0);
        for (int j = 0; j < line->childCount(); ++j) {
            const QString label = line->child(j)->text(0);
            found << QStringLiteral("%1/%2/%3")
                         .arg(name, label.contains(QLatin1Char(':')) ? QStringLiteral("#%1").arg(j) : label)
                         .arg(line->child(j)->childCount());
        }
    }
    return found;
}

} // namespace

// A project file whose writer died, or whose bytes were damaged, is opened
// with whole points only, or refused; never a crash.
class TestProjectFileFaults : public QObject
{
    Q_OBJECT

    QStringList messages;

private slots:
    void initTestCase() { qRegisterMetaType<QProcess::ExitStatus>(); }
    void init()
    {
        messages.clear();
        DialogHook::setMessageAnswer([this](const DialogHook::Message& m) { messages.append(m.text); });
    }
    void cleanup()
    {
        DialogHook::setMessageAnswer({});
        QLoggingCategory::setFilterRules(QString());
    }

    // Each point holds all its samples with their whole curves, or is not
    // there; every acquisition reported stored is there, and the file takes
    // further stores after each kill. Every third writer is killed while its
    // store waits at the commit, the others at a random moment.
    void killedWhileStoringLeavesWholePoints()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("field.ZOLVA"));
        const QString journal = path + QStringLiteral("-journal");
        QRandomGenerator random(20240603u);
        int points = 0;
        for (int trial = 0; trial < 12; ++trial) {
            const bool inStore = trial % 3 == 2;
            QProcess writer;
            writer.setProcessChannelMode(QProcess::ForwardedErrorChannel);
            QSignalSpy ended(&writer, qOverload<int, QProcess::ExitStatus>(&QProcess::finished));
            writer.start(QStringLiteral(STORELOOP),
                         {path, QStringLiteral("0"), QString::number(Repeats), QString::number(Gates)});
            QVERIFY2(QTest::qWaitFor([&] { return writer.canReadLine() || ended.count() > 0; }, TestTimeoutMs()),
                     "no acquisition stored");
            std::unique_ptr<HeldProjectFile> lock;
            if (inStore) {
                lock = std::make_unique<HeldProjectFile>(path, HeldProjectFile::Read);
                QVERIFY(lock->held);
                QVERIFY2(QTest::qWaitFor([&] { return QFileInfo(journal).size() > 0 || ended.count() > 0; },
                                         TestTimeoutMs()),
                         "no store reached its commit");
                writer.kill();
            } else {
                QTimer::singleShot(int(random.bounded(1, 40)), &writer, &QProcess::kill);
            }
            QVERIFY(ended.wait(TestTimeoutMs()));
            QCOMPARE(writer.exitStatus(), QProcess::CrashExit);
            const QList<QByteArray> stored = writer.readAllStandardOutput().split('\n');
            const int reported = points + (stored.size() > 1 ? stored.at(stored.size() - 2).toInt() : 0);
            // The store in progress left its journal for the next open to roll back.
            QVERIFY(!inStore || QFileInfo(journal).size() > 0);
            lock.reset();

            DataModel_Index model;
            QVERIFY(model.openProject(path));
            const QStringList found = contents(model);
            QVERIFY2(found.size() == reported || (!inStore && found.size() == reported + 1),
                     qPrintable(found.join(' ')));
            for (const QString& point : found)
                QVERIFY2(point.endsWith(QStringLiteral("/%1").arg(Repeats)), qPrintable(point));
            // All samples, and those with whole curves.
            QCOMPARE(StoringRig::sql(QStringLiteral("SELECT COUNT(*) FROM Data_Sample UNION ALL SELECT COUNT(*) FROM "
                                                    "Data_Sample WHERE length(DATA_RECV) = %1 AND "
                                                    "length(DATA_RECV_LEN) = %1 AND length(DATA_SEND) = %2")
                                         .arg(8 * Gates)
                                         .arg(8 * StoredAcquisition::SendWaveSize)),
                     QStringLiteral("%1|%1").arg(Repeats * found.size()));
            points = found.size();
            model.closeProject();
        }
        QVERIFY(messages.isEmpty());
    }

    // Truncated anywhere, or with random bytes overwritten (a few scattered
    // or one run): refused, with or without the damaged-file warning, or
    // opened and usable; a truncated file shows only points it had.
    void damagedFileIsRefusedOrOpensWhole()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("field.ZOLVA"));
        QByteArray original;
        QStringList intact;
        {
            DataModel_Index model;
            QVERIFY(model.openProject(path));
            // Three points of three samples, then a towed line of three.
            for (int n = 0; n < 6; ++n) {
                if (n == 3)
                    model.setProperty("LineNo", 11.0);
                model.dataUpload(StoredAcquisition::make(n, n < 3 ? 3 : 1, 16, n < 3 ? 0 : 1));
                model.dataSave(true);
            }
            model.closeProject();
            QVERIFY(model.openProject(path));
            intact = contents(model);
            model.closeProject();
            QFile file(path);
            QVERIFY(file.open(QIODevice::ReadOnly));
            original = file.readAll();
        }
        QCOMPARE(intact.size(), 6);

        // The damaged files' schema updates and failed reads log a line each.
        QLoggingCategory::setFilterRules(QStringLiteral("default.warning=false"));
        constexpr int Trials = 100;
        QRandomGenerator random(20240604u);
        int refused = 0, warned = 0;
        for (int trial = 0; trial < Trials; ++trial) {
            QByteArray bytes = original;
            const bool truncated = trial % 2 == 0;
            if (truncated) {
                bytes.truncate(int(random.bounded(bytes.size())));
            } else if (trial % 4 == 1) {
                for (int k = int(random.bounded(1, 9)); k > 0; --k)
                    bytes[int(random.bounded(bytes.size()))] = char(random.bounded(256));
            } else {
                const int at = int(random.bounded(bytes.size()));
                for (int i = at; i < qMin(bytes.size(), at + int(random.bounded(1, 65))); ++i)
                    bytes[i] = char(random.bounded(256));
            }
            const QString damaged = dir.filePath(QStringLiteral("damaged-%1.ZOLVA").arg(trial));
            QFile file(damaged);
            QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
            file.close();

            messages.clear();
            DataModel_Index model;
            const QString what = QStringLiteral("trial %1").arg(trial);
            if (model.openProject(damaged)) {
                QVERIFY2(messages.isEmpty(), qPrintable(what));
                const QStringList found = contents(model);
                for (const QString& point : found)
                    QVERIFY2(!truncated || intact.contains(point), qPrintable(what + ' ' + point));
                // A third of them, to keep the sanitizer build's run short.
                if (trial % 3 == 0)
                    walkProject(model);
            } else {
                ++refused;
                warned += messages.size();
                QVERIFY2(messages.isEmpty() || messages == QStringList{"工程文件损坏"}, qPrintable(what));
                QVERIFY2(model.topLevelItemCount() == 0, qPrintable(what));
            }
            model.closeProject();
        }
        qInfo("%d damaged files: %d refused (%d with the warning), %d opened", Trials, refused, warned,
              Trials - refused);
    }
};

QTEST_MAIN(TestProjectFileFaults)
#include "tst_projectfilefaults.moc"
