#include "acquisition/ZOLVA_Collector.h"

#include <QMetaEnum>
#include <QSignalSpy>
#include <QtTest>

// The collector as the binding layer sees it: properties, their change
// signals and the enumeration key names.
class TestCollectorObject : public QObject
{
    Q_OBJECT

private slots:
    void startsWithTheFieldDefaults()
    {
        ZOLVA_Collector c;
        QCOMPARE(c.property("DeviceIP_Send").toString(), QStringLiteral("192.168.0.9"));
        QCOMPARE(c.property("DeviceIP_Recv").toString(), QStringLiteral("192.168.0.10"));
        QCOMPARE(c.property("StatusConnect").toString(), QStringLiteral("<p style='color:red;'>未连接</p>"));
        QCOMPARE(c.property("ParamFs").toDouble(), 25.0);
        QCOMPARE(c.property("ParamPeriod").toInt(), 25);
        QCOMPARE(c.property("ParamRepeat").toInt(), 2);
        QCOMPARE(c.property("SampleMode").value<ZOLVA_Collector::ZOLVASampleMode>(), ZOLVA_Collector::TEM);
        QCOMPARE(c.property("SampleStatus").value<ZOLVA_Collector::ZOLVASampleStatus>(), ZOLVA_Collector::DISCONN);
        QCOMPARE(c.property("ContinueMode").value<ZOLVA_Collector::ZOLVAContinueMode>(), ZOLVA_Collector::Single);
        for (const char* name : {"SendV", "DeviceV", "DeviceTemp"})
            QCOMPARE(c.property(name).toDouble(), 0.0);
        QCOMPARE(c.property("Progress").toInt(), 0);
        QCOMPARE(c.property("ProgressMax").toInt(), 0);
    }

    void statusKeysReachTheScreenByName()
    {
        const QMetaObject& meta = ZOLVA_Collector::staticMetaObject;
        const QMetaEnum status = meta.enumerator(meta.indexOfEnumerator("ZOLVASampleStatus"));
        QCOMPARE(QString::fromLatin1(status.valueToKey(ZOLVA_Collector::UPLOAD)), QStringLiteral("UPLOAD"));
        QCOMPARE(status.keyCount(), 6);
        const QMetaEnum mode = meta.enumerator(meta.indexOfEnumerator("ZOLVAContinueMode"));
        QCOMPARE(mode.keyToValue("Continue"), 1);
        QVERIFY(meta.property(meta.indexOfProperty("SampleStatus")).isEnumType());
    }

    void writesNotifyAsTheBindingsExpect()
    {
        ZOLVA_Collector c;
        QSignalSpy ip(&c, &ZOLVA_Collector::sendIPChanged);
        QSignalSpy fs(&c, &ZOLVA_Collector::onParamFsChanged);
        QSignalSpy repeat(&c, &ZOLVA_Collector::onParamRepeatChanged);

        c.setProperty("DeviceIP_Send", QStringLiteral("192.168.0.9"));
        QCOMPARE(ip.count(), 0);
        c.setProperty("DeviceIP_Send", QStringLiteral("127.0.0.40"));
        QCOMPARE(ip.count(), 1);
        QCOMPARE(ip.at(0).at(0).toString(), QStringLiteral("127.0.0.40"));

        c.setProperty("ParamFs", 25.0);
        QCOMPARE(fs.count(), 1);

        c.setProperty("ParamRepeat", 2);
        QCOMPARE(repeat.count(), 0);
        c.SetParamRepeat(2);
        QCOMPARE(repeat.count(), 1);
    }

    void lineParametersAlwaysNotify()
    {
        ZOLVA_Collector c;
        QSignalSpy fs(&c, &ZOLVA_Collector::onParamFsChanged);
        QSignalSpy period(&c, &ZOLVA_Collector::onParamPeriodChanged);
        QSignalSpy mode(&c, &ZOLVA_Collector::onContinueModeChanged);
        c.onLoad_Param(25.0, 25);
        QCOMPARE(fs.count() + period.count() + mode.count(), 3);
        QCOMPARE(c.property("ContinueMode").value<ZOLVA_Collector::ZOLVAContinueMode>(), ZOLVA_Collector::Single);
        c.onLoad_Param(12.5, 50, 7);
        QCOMPARE(c.property("ParamFs").toDouble(), 12.5);
        QCOMPARE(c.property("ParamPeriod").toInt(), 50);
        QCOMPARE(c.property("ContinueMode").value<ZOLVA_Collector::ZOLVAContinueMode>(), ZOLVA_Collector::Continue);
    }
};

QTEST_GUILESS_MAIN(TestCollectorObject)
#include "tst_collectorobject.moc"
