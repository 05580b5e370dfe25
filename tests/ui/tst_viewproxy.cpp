#include "ui/HViewProxyManager.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include <memory>

namespace {

class Model : public QObject
{
    Q_OBJECT
    Q_PROPERTY(Mode Mode READ GetMode WRITE SetMode NOTIFY onModeChanged)
    Q_PROPERTY(bool Flag READ GetFlag WRITE SetFlag NOTIFY onFlagChanged)
    Q_PROPERTY(int Count READ GetCount WRITE SetCount NOTIFY onCountChanged)
    Q_PROPERTY(double Level READ GetLevel WRITE SetLevel NOTIFY onLevelChanged)
    Q_PROPERTY(QString Name READ GetName WRITE SetName NOTIFY onNameChanged)
    Q_PROPERTY(QVariantList Other READ GetOther)

public:
    enum Mode { First, Second, Third };
    Q_ENUM(Mode)

    explicit Model(const QString &name) { setObjectName(name); }

    Mode GetMode() const { return m_mode; }
    void SetMode(Mode mode) { if (mode != m_mode) { m_mode = mode; emit onModeChanged(); } }
    bool GetFlag() const { return m_flag; }
    void SetFlag(bool flag) { if (flag != m_flag) { m_flag = flag; emit onFlagChanged(); } }
    int GetCount() const { return m_count; }
    void SetCount(int count) { if (count != m_count) { m_count = count; emit onCountChanged(); } }
    double GetLevel() const { return m_level; }
    void SetLevel(double level) { if (level != m_level) { m_level = level; emit onLevelChanged(); } }
    QString GetName() const { return m_name; }
    void SetName(const QString &name) { if (name != m_name) { m_name = name; emit onNameChanged(); } }
    QVariantList GetOther() const { return {}; }

signals:
    void onModeChanged();
    void onFlagChanged();
    void onCountChanged();
    void onLevelChanged();
    void onNameChanged();

private:
    Mode m_mode = Second;
    bool m_flag = false;
    int m_count = 7;
    double m_level = 12.34;
    QString m_name = QStringLiteral("起点");
};

} // namespace

class tst_ViewProxy : public QObject
{
    Q_OBJECT

private slots:
    void enumShowsKeysAndWritesIndex();
    void enumKeepsExistingItems();
    void boolFollowsBothWays();
    void doubleFormatsOnLabel();
    void doubleOnComboBox();
    void intAndStringWriteBackOnEditingFinished();
    void unsupportedBindingsFail();
    void destroyedObjectDropsProxy();
    void destroyedWidgetIsSkipped();
    void reregisteringDropsBindings();
};

void tst_ViewProxy::enumShowsKeysAndWritesIndex()
{
    HViewProxyManager manager;
    Model model(QStringLiteral("model"));
    QComboBox combo;
    QVERIFY(manager.addObject(&model));
    QVERIFY(manager.bind(QStringLiteral("model"), QStringLiteral("Mode"), &combo));

    QCOMPARE(combo.count(), 3);
    QCOMPARE(combo.itemText(0), QStringLiteral("First"));
    QCOMPARE(combo.itemText(2), QStringLiteral("Third"));
    QCOMPARE(combo.currentIndex(), 1);

    combo.setCurrentIndex(2);
    QCOMPARE(model.GetMode(), Model::Third);

    model.SetMode(Model::First);
    QCOMPARE(combo.currentIndex(), 0);
}

void tst_ViewProxy::enumKeepsExistingItems()
{
    HViewProxyManager manager;
    Model model(QStringLiteral("model"));
    QComboBox combo;
    combo.addItem(QStringLiteral("existing"));
    manager.addObject(&model);
    QVERIFY(manager.bind(QStringLiteral("model"), QStringLiteral("Mode"), &combo));
    QCOMPARE(combo.count(), 4);
    QCOMPARE(combo.itemText(0), QStringLiteral("existing"));
    QCOMPARE(combo.itemText(1), QStringLiteral("First"));
}

void tst_ViewProxy::boolFollowsBothWays()
{
    HViewProxyManager manager;
    Model model(QStringLiteral("model"));
    QCheckBox check;
    QPushButton button;
    button.setCheckable(true);
    manager.addObject(&model);
    QVERIFY(manager.bind(QStringLiteral("model"), QStringLiteral("Flag"), &check));
    QVERIFY(manager.bind(QStringLiteral("model"), QStringLiteral("Flag"), &button));

    model.SetFlag(true);
    QVERIFY(check.isChecked());
    QVERIFY(button.isChecked());

    check.setChecked(false);
    QCOMPARE(model.GetFlag(), false);
    QVERIFY(!button.isChecked());
}

void tst_ViewProxy::doubleFormatsOnLabel()
{
    HViewProxyManager manager;
    Model model(QStringLiteral("model"));
    QLabel formatted;
    QLabel plain;
    manager.addObject(&model);
    QVERIFY(manager.bind(QStringLiteral("model"), QStringLiteral("Level"), &formatted, QStringLiteral("%.1f")));
    QVERIFY(manager.bind(QStringLiteral("model"), QStringLiteral("Level"), &plain));
    QCOMPARE(formatted.text(), QStringLiteral("12.3"));
    QCOMPARE(plain.text(), QStringLiteral("12.34"));

    model.SetLevel(0.123456789);
    QCOMPARE(formatted.text(), QStringLiteral("0.1"));
    QCOMPARE(plain.text(), QStringLiteral("0.123456789"));
}

void tst_ViewProxy::doubleOnComboBox()
{
    HViewProxyManager manager;
    Model model(QStringLiteral("model"));
    model.SetLevel(25);
    QComboBox combo;
    combo.addItems({QStringLiteral("12.5"), QStringLiteral("25"), QStringLiteral("50")});
    manager.addObject(&model);
    QVERIFY(manager.bind(QStringLiteral("model"), QStringLiteral("Level"), &combo, QStringLiteral("%g")));
    QCOMPARE(combo.currentIndex(), 1);

    combo.setCurrentIndex(2);
    QCOMPARE(model.GetLevel(), 50.0);
    model.SetLevel(12.5);
    QCOMPARE(combo.currentIndex(), 0);
}

void tst_ViewProxy::intAndStringWriteBackOnEditingFinished()
{
    HViewProxyManager manager;
    Model model(QStringLiteral("model"));
    QLineEdit count;
    QLineEdit name;
    manager.addObject(&model);
    QVERIFY(manager.bind(QStringLiteral("model"), QStringLiteral("Count"), &count, QStringLiteral("%03d")));
    QVERIFY(manager.bind(QStringLiteral("model"), QStringLiteral("Name"), &name, QStringLiteral("%d")));
    QCOMPARE(count.text(), QStringLiteral("007"));
    QCOMPARE(name.text(), QStringLiteral("起点"));

    count.clear();
    QTest::keyClicks(&count, QStringLiteral("42"));
    QCOMPARE(model.GetCount(), 7);
    QTest::keyClick(&count, Qt::Key_Return);
    QCOMPARE(model.GetCount(), 42);
    QCOMPARE(count.text(), QStringLiteral("042"));

    name.setText(QStringLiteral("终点"));
    QCOMPARE(model.GetName(), QStringLiteral("起点"));
    emit name.editingFinished();
    QCOMPARE(model.GetName(), QStringLiteral("终点"));

    count.setText(QStringLiteral("abc"));
    emit count.editingFinished();
    QCOMPARE(model.GetCount(), 0);
}

void tst_ViewProxy::unsupportedBindingsFail()
{
    HViewProxyManager manager;
    Model model(QStringLiteral("model"));
    QLabel label;
    QCheckBox check;
    manager.addObject(&model);
    QVERIFY(!manager.bind(QStringLiteral("model"), QStringLiteral("Flag"), &label));
    QVERIFY(!manager.bind(QStringLiteral("model"), QStringLiteral("Level"), &check));
    QVERIFY(!manager.bind(QStringLiteral("model"), QStringLiteral("Other"), &label));
    QVERIFY(!manager.bind(QStringLiteral("model"), QStringLiteral("objectName"), &label));
    QVERIFY(!manager.bind(QStringLiteral("model"), QStringLiteral("Missing"), &label));
    QVERIFY(!manager.bind(QStringLiteral("nobody"), QStringLiteral("Name"), &label));
    QVERIFY(!manager.bind(QStringLiteral("model"), QString(), &label));
    QVERIFY(!manager.bind(QStringLiteral("model"), QStringLiteral("Name"), nullptr));

    Model unnamed{QString()};
    QVERIFY(!manager.addObject(&unnamed));
    QVERIFY(!manager.addObject(nullptr));
}

void tst_ViewProxy::destroyedObjectDropsProxy()
{
    HViewProxyManager manager;
    QLabel label;
    {
        Model model(QStringLiteral("model"));
        manager.addObject(&model);
        QVERIFY(manager.bind(QStringLiteral("model"), QStringLiteral("Name"), &label));
    }
    QVERIFY(!manager.bind(QStringLiteral("model"), QStringLiteral("Name"), &label));
}

void tst_ViewProxy::destroyedWidgetIsSkipped()
{
    HViewProxyManager manager;
    Model model(QStringLiteral("model"));
    QLabel survivor;
    manager.addObject(&model);
    auto doomed = std::make_unique<QLabel>();
    QVERIFY(manager.bind(QStringLiteral("model"), QStringLiteral("Count"), doomed.get()));
    QVERIFY(manager.bind(QStringLiteral("model"), QStringLiteral("Count"), &survivor));
    doomed.reset();

    model.SetCount(11);
    QCOMPARE(survivor.text(), QStringLiteral("11"));
}

void tst_ViewProxy::reregisteringDropsBindings()
{
    HViewProxyManager manager;
    Model first(QStringLiteral("model"));
    Model second(QStringLiteral("model"));
    QLabel label;
    manager.addObject(&first);
    manager.bind(QStringLiteral("model"), QStringLiteral("Count"), &label);
    manager.addObject(&second);

    first.SetCount(99);
    QCOMPARE(label.text(), QStringLiteral("7"));
    QVERIFY(manager.bind(QStringLiteral("model"), QStringLiteral("Count"), &label));
    second.SetCount(5);
    QCOMPARE(label.text(), QStringLiteral("5"));
}

QTEST_MAIN(tst_ViewProxy)
#include "tst_viewproxy.moc"
