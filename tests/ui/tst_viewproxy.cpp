#include "ui/HViewProxyManager.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <memory>

namespace {

class Model : public QObject
{
    Q_OBJECT
    Q_PROPERTY(Mode Mode MEMBER m_mode NOTIFY onModeChanged)
    Q_PROPERTY(bool Flag MEMBER m_flag NOTIFY onFlagChanged)
    Q_PROPERTY(int Count MEMBER m_count NOTIFY onCountChanged)
    Q_PROPERTY(double Level MEMBER m_level NOTIFY onLevelChanged)
    Q_PROPERTY(QString Name MEMBER m_name NOTIFY onNameChanged)
    Q_PROPERTY(QVariantList Other READ GetOther)

public:
    enum Mode { First, Second, Third };
    Q_ENUM(Mode)

    explicit Model(const QString& name) { setObjectName(name); }
    QVariantList GetOther() const { return {}; }

    // MEMBER properties notify only on a real change, as the program's models do.
    Mode m_mode = Second;
    bool m_flag = false;
    int m_count = 7;
    double m_level = 12.34;
    QString m_name = QStringLiteral("起点");

signals:
    void onModeChanged();
    void onFlagChanged();
    void onCountChanged();
    void onLevelChanged();
    void onNameChanged();
};

} // namespace

class tst_ViewProxy : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void choicesFollowBothWays();
    void doubleFormatsOnLabelAndComboBox();
    void lineEditsWriteBackWhenEditingFinishes();
    void untouchedFieldsWriteNothing();
    void unsupportedBindingsFail();
    void lifetimes();

private:
    bool bind(const char* property, QWidget* widget, const QString& format = QString())
    {
        return m_manager->bind(QStringLiteral("model"), QLatin1String(property), widget, format);
    }

    std::unique_ptr<HViewProxyManager> m_manager;
    std::unique_ptr<Model> m_model;
};

void tst_ViewProxy::init()
{
    m_manager = std::make_unique<HViewProxyManager>();
    m_model = std::make_unique<Model>(QStringLiteral("model"));
    QVERIFY(m_manager->addObject(m_model.get()));
}

void tst_ViewProxy::choicesFollowBothWays()
{
    QComboBox combo;
    QVERIFY(bind("Mode", &combo));
    QCOMPARE(combo.count(), 3);
    QCOMPARE(combo.itemText(2), QStringLiteral("Third"));
    QCOMPARE(combo.currentIndex(), 1);
    combo.setCurrentIndex(2);
    QCOMPARE(m_model->m_mode, Model::Third);
    m_model->setProperty("Mode", Model::First);
    QCOMPARE(combo.currentIndex(), 0);

    QComboBox filled;
    filled.addItem(QStringLiteral("existing"));
    QVERIFY(bind("Mode", &filled));
    QCOMPARE(filled.itemText(1), QStringLiteral("First"));

    QCheckBox check;
    QPushButton button;
    button.setCheckable(true);
    QVERIFY(bind("Flag", &check));
    QVERIFY(bind("Flag", &button));
    m_model->setProperty("Flag", true);
    QVERIFY(check.isChecked() && button.isChecked());
    check.setChecked(false);
    QVERIFY(!m_model->m_flag && !button.isChecked());
}

void tst_ViewProxy::doubleFormatsOnLabelAndComboBox()
{
    QLabel formatted;
    QLabel plain;
    QVERIFY(bind("Level", &formatted, QStringLiteral("%.1f")));
    QVERIFY(bind("Level", &plain));
    QCOMPARE(formatted.text(), QStringLiteral("12.3"));
    QCOMPARE(plain.text(), QStringLiteral("12.34"));
    m_model->setProperty("Level", 0.123456789);
    QCOMPARE(formatted.text(), QStringLiteral("0.1"));
    QCOMPARE(plain.text(), QStringLiteral("0.123456789"));

    m_model->setProperty("Level", 25.0);
    QComboBox combo;
    combo.addItems({QStringLiteral("12.5"), QStringLiteral("25"), QStringLiteral("50")});
    QVERIFY(bind("Level", &combo, QStringLiteral("%g")));
    QCOMPARE(combo.currentIndex(), 1);
    combo.setCurrentIndex(2);
    QCOMPARE(m_model->m_level, 50.0);
    m_model->setProperty("Level", 12.5);
    QCOMPARE(combo.currentIndex(), 0);
}

void tst_ViewProxy::lineEditsWriteBackWhenEditingFinishes()
{
    QLineEdit count;
    QLineEdit name;
    QVERIFY(bind("Count", &count, QStringLiteral("%03d")));
    QVERIFY(bind("Name", &name, QStringLiteral("%d")));
    QCOMPARE(count.text(), QStringLiteral("007"));
    QCOMPARE(name.text(), QStringLiteral("起点"));

    count.clear();
    QTest::keyClicks(&count, QStringLiteral("42"));
    QCOMPARE(m_model->m_count, 7);
    QTest::keyClick(&count, Qt::Key_Return);
    QCOMPARE(m_model->m_count, 42);
    QCOMPARE(count.text(), QStringLiteral("042"));

    name.setText(QStringLiteral("终点"));
    name.setModified(true);
    QCOMPARE(m_model->m_name, QStringLiteral("起点"));
    emit name.editingFinished();
    QCOMPARE(m_model->m_name, QStringLiteral("终点"));

    count.setText(QStringLiteral("abc"));
    count.setModified(true);
    emit count.editingFinished();
    QCOMPARE(m_model->m_count, 0);
}

void tst_ViewProxy::untouchedFieldsWriteNothing()
{
    // Focus passing through a field must not store the value rounded to its
    // display format.
    m_model->m_level = 15.024;
    QLineEdit size;
    QVERIFY(bind("Level", &size, QStringLiteral("%.1f")));
    emit size.editingFinished();
    QCOMPARE(m_model->m_level, 15.024);
    m_model->setProperty("Level", 7.5);
    QLineEdit line;
    QVERIFY(bind("Level", &line, QStringLiteral("%.0f")));
    QCOMPARE(line.text(), QStringLiteral("8"));
    emit line.editingFinished();
    emit size.editingFinished();
    QCOMPARE(m_model->m_level, 7.5);

    // Emptying a combo box is no choice of an item.
    QComboBox mode;
    QComboBox level;
    level.addItems({QStringLiteral("7.5"), QStringLiteral("25")});
    QVERIFY(bind("Mode", &mode));
    QVERIFY(bind("Level", &level, QStringLiteral("%g")));
    mode.clear();
    level.clear();
    QCOMPARE(m_model->m_mode, Model::Second);
    QCOMPARE(m_model->m_level, 7.5);
}

void tst_ViewProxy::unsupportedBindingsFail()
{
    QLabel label;
    QCheckBox check;
    const QList<QPair<const char*, QWidget*>> refused = {{"Flag", &label},       {"Level", &check},   {"Other", &label},
                                                         {"objectName", &label}, {"Missing", &label}, {"", &label},
                                                         {"Name", nullptr}};
    for (const auto& binding : refused)
        QVERIFY2(!bind(binding.first, binding.second), binding.first);
    QVERIFY(!m_manager->bind(QStringLiteral("nobody"), QStringLiteral("Name"), &label));

    Model unnamed{QString()};
    QVERIFY(!m_manager->addObject(&unnamed));
    QVERIFY(!m_manager->addObject(nullptr));
}

void tst_ViewProxy::lifetimes()
{
    // A destroyed widget is skipped, the others are still served.
    QLabel survivor;
    auto doomed = std::make_unique<QLabel>();
    QVERIFY(bind("Count", doomed.get()));
    QVERIFY(bind("Count", &survivor));
    doomed.reset();
    m_model->setProperty("Count", 11);
    QCOMPARE(survivor.text(), QStringLiteral("11"));

    // Registering another object under the name drops the earlier bindings.
    auto second = std::make_unique<Model>(QStringLiteral("model"));
    QVERIFY(m_manager->addObject(second.get()));
    m_model->setProperty("Count", 99);
    QCOMPARE(survivor.text(), QStringLiteral("11"));
    QVERIFY(bind("Count", &survivor));
    second->setProperty("Count", 5);
    QCOMPARE(survivor.text(), QStringLiteral("5"));

    // Only the destroyed object's own proxy goes with it.
    m_model.reset();
    QVERIFY(bind("Count", &survivor));
    second.reset();
    QVERIFY(!bind("Count", &survivor));
}

QTEST_MAIN(tst_ViewProxy)
#include "tst_viewproxy.moc"
