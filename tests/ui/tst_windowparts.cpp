#include "ui/BuildTime.h"
#include "ui/RecentProjectList.h"
#include "ui/TransmitCurves.h"
#include "ui/UiScale.h"

#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>
#include <limits>
#include <memory>

// The window's parts without a window: sizes that follow the screen height,
// the build stamp, the transmit and turn-off curves, and the recent list as
// kept in "config.ini" (newest first, nine at most after an addition,
// vanished files dropped from the list and from the file).
class tst_WindowParts : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<QSettings> m_settings;

    QString project(int n) const { return m_dir->filePath(QStringLiteral("p%1.ZOLVA").arg(n)); }

    QStringList keys()
    {
        m_settings->beginGroup("ProjList");
        QStringList values;
        for (const QString& key : m_settings->childKeys())
            values << key + "=" + QFileInfo(m_settings->value(key).toString()).fileName();
        m_settings->endGroup();
        return values;
    }

private slots:
    void init()
    {
        cleanup();
        m_dir = std::make_unique<QTemporaryDir>();
        m_settings = std::make_unique<QSettings>(m_dir->filePath("config.ini"), QSettings::IniFormat);
        for (int n = 1; n <= 12; ++n)
            QVERIFY(QFile(project(n)).open(QIODevice::WriteOnly));
    }

    // The settings write back when destroyed: before their folder goes.
    void cleanup()
    {
        m_settings.reset();
        m_dir.reset();
    }

    void scaledSizes_data()
    {
        QTest::addColumn<int>("height");
        QTest::addColumn<QString>("sizes");
        QTest::newRow("800 px") << 800 << "960x640 258 300 11 | 13px 15px 24px 23px 4px 6px 34px 62px 100px";
        // 1040 / 800 = 1.3: truncated widths, rounded-up sizes.
        QTest::newRow("1040 px") << 1040 << "1248x832 323 378 15 | 17px 20px 32px 30px 6px 10px 45px 81px 130px";
    }

    void scaledSizes()
    {
        QFETCH(int, height);
        const UiScale scale(height);
        const QSize minimum = scale.minimumWindowSize();
        QStringList sizes{QStringLiteral("%1x%2").arg(minimum.width()).arg(minimum.height())};
        for (int size : {scale.treeWidth(), scale.projectPanelWidth(), scale.plotFontPixelSize()})
            sizes << QString::number(size);
        sizes << QStringLiteral("|");
        for (const auto& variable : scale.styleVariables())
            sizes << variable.second;
        QTEST(sizes.join(QLatin1Char(' ')), "sizes");
        QVERIFY(
            scale.windowStyleSheet().contains(QStringLiteral("min-width:%1px;max-width:%1px").arg(scale.treeWidth())));
    }

    void buildTimeFromCompilerTexts()
    {
        QCOMPARE(BuildTime::parse("Dec  6 2026", "23:51:36"), QDateTime(QDate(2026, 12, 6), QTime(23, 51, 36)));
        QVERIFY(BuildTime::compiled().isValid());
    }

    void sendCurveSpansOnePeriodAtUsableRates()
    {
        QVector<double> data(500);
        for (int i = 0; i < data.size(); ++i)
            data[i] = i < 250 ? 12.0 : -8.0;
        TransmitCurves::Curve curve;
        QVERIFY(TransmitCurves::sendCurve(25.0, data, &curve));
        QCOMPARE(curve.x.size(), 500);
        QCOMPARE(curve.x.first(), 0.08);
        QCOMPARE(curve.x.last(), 40.0);
        QCOMPARE(curve.y.first(), 10.0);
        QCOMPARE(curve.y.last(), -10.0);

        for (double fs : {0.0, -25.0, std::nan(""), std::numeric_limits<double>::infinity()}) {
            QVERIFY2(!TransmitCurves::sendCurve(fs, {1, 2, 3}, &curve), qPrintable(QString::number(fs)));
            QVERIFY2(!TransmitCurves::offCurve(fs, {1, 2, 3}, &curve), qPrintable(QString::number(fs)));
        }
        // Only the transmit current has an upper bound.
        QVERIFY(!TransmitCurves::sendCurve(2e8, {1, 2, 3}, &curve));
        QVERIFY(TransmitCurves::offCurve(2e8, {1, 2, 3}, &curve));
    }

    void offCurveBaseline_data()
    {
        QTest::addColumn<QVector<double>>("data");
        QTest::addColumn<QVector<double>>("y");
        QTest::addColumn<bool>("straightened");

        QTest::newRow("last five of seven")
            << QVector<double>{9, 7, 1, 2, 3, 4, 5} << QVector<double>{6, 4, -2, -1, 0, 1, 2} << true;
        // Fewer than five samples: the mean of those there are.
        QTest::newRow("three samples") << QVector<double>{6, 3, 0} << QVector<double>{3, 0, -3} << false;
        QTest::newRow("none") << QVector<double>{} << QVector<double>{} << false;
    }

    void offCurveBaseline()
    {
        QFETCH(QVector<double>, data);
        QFETCH(QVector<double>, y);
        QFETCH(bool, straightened);

        TransmitCurves::Curve curve;
        QVERIFY(TransmitCurves::offCurve(2000000.0, data, &curve));
        QCOMPARE(curve.y, y);
        for (int i = 0; i < curve.x.size(); ++i)
            QCOMPARE(curve.x[i], (i + 1) * 0.5);
        // Fewer than four samples are too short to straighten.
        QCOMPARE(TransmitCurves::fitEarlyDecay(curve.x, curve.y) != y, straightened);
    }

    void earlyDecayIsStraightened()
    {
        TransmitCurves::Curve curve;
        QVector<double> data(500);
        for (int i = 0; i < data.size(); ++i)
            data[i] = 100.0 * std::exp(-i / 40.0);
        QVERIFY(TransmitCurves::offCurve(2000000.0, data, &curve));

        const QVector<double> fitted = TransmitCurves::fitEarlyDecay(curve.x, curve.y);
        double slope = 0.0;
        for (int i = 60; i < 160; ++i)
            slope += (curve.y[i + 1] - curve.y[i]) / (curve.x[i + 1] - curve.x[i]);
        slope = slope / 100 * 0.91;
        for (int i : {0, 59, 159})
            QVERIFY(qFuzzyCompare(fitted[i], slope * (curve.x[i] - curve.x[160]) + curve.y[160]));
        for (int i : {160, 161, 499})
            QCOMPARE(fitted[i], curve.y[i]);
    }

    void additions_data()
    {
        QTest::addColumn<int>("existing");
        QTest::addColumn<int>("added");
        QTest::addColumn<QList<int>>("expected");

        QTest::newRow("tenth drops the oldest") << 9 << 10 << QList<int>{10, 1, 2, 3, 4, 5, 6, 7, 8};
        QTest::newRow("front stays once") << 3 << 1 << QList<int>{1, 2, 3};
        QTest::newRow("middle moves to front") << 3 << 2 << QList<int>{2, 1, 3};
    }

    void additions()
    {
        QFETCH(int, existing);
        QFETCH(int, added);
        QFETCH(QList<int>, expected);

        RecentProjectList list(m_settings.get());
        for (int n = existing; n >= 1; --n)
            list.add(project(n));
        list.add(project(added));

        QStringList paths;
        for (int n : expected)
            paths << project(n);
        QCOMPARE(list.entries(), paths);
        RecentProjectList reread(m_settings.get());
        reread.load();
        QCOMPARE(reread.entries(), paths);
    }

    void loadDropsVanishedAndRepeatedEntriesSaveBlanksThem()
    {
        const QStringList stored{project(1), project(2), m_dir->filePath("deleted.ZOLVA"),
                                 project(1), "",         project(6),
                                 project(7), project(8), project(9),
                                 project(4), project(5)};
        for (int i = 0; i < stored.size(); ++i)
            m_settings->setValue(QStringLiteral("ProjList/List%1").arg(i + 1), stored.at(i));
        RecentProjectList list(m_settings.get());
        list.load();
        QCOMPARE(list.entries(),
                 (QStringList{project(1), project(2), project(6), project(7), project(8), project(9), project(4)}));

        // Saving writes the kept entries in order, blanks a vanished file
        // and leaves the keys after them alone.
        QVERIFY(QFile::remove(project(2)));
        list.save();
        QCOMPARE(keys(),
                 (QStringList{"List1=p1.ZOLVA", "List10=p4.ZOLVA", "List11=p5.ZOLVA", "List2=", "List3=p6.ZOLVA",
                              "List4=p7.ZOLVA", "List5=p8.ZOLVA", "List6=p9.ZOLVA", "List7=p4.ZOLVA", "List8=p8.ZOLVA",
                              "List9=p9.ZOLVA"}));
        list.load();
        QCOMPARE(list.entries().size(), 6);
        QVERIFY(!list.entries().contains(project(2)));
    }
};

QTEST_APPLESS_MAIN(tst_WindowParts)
#include "tst_windowparts.moc"
