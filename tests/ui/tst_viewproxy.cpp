#include "acquisition/ZOLVA_Collector.h"
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

    std::unique_ptr<HViewProxyManager> m_manager;
    std::unique_ptr<Model> m_model;

    bool bind(const char* property, QWidget* widget, const QString& format = QString())
    {
        return m_manager->bind(QStringLiteral("model"), QLatin1String(property), widget, format);
    }

private slots:
    void init()
    {
        m_manager = std::make_unique<HViewProxyManager>();
        m_model = std::make_unique<Model>(QStringLiteral("model"));
        QVERIFY(m_manager->addObject(m_model.get()));
    }

    void widgetsFollowBothWays()
    {
        QCheckBox check;
        QPushButton button;
        button.setCheckable(true);
        QVERIFY(bind("Flag", &check));
        QVERIFY(bind("Flag", &button));
        m_model->setProperty("Flag", true);
        QVERIFY(check.isChecked() && button.isChecked());
        check.setChecked(false);
        QVERIFY(!m_model->m_flag && !button.isChecked());

        // Texts keep their format.
        QLabel level;
        QVERIFY(bind("Level", &level, QStringLiteral("%.1f")));
        QCOMPARE(level.text(), QStringLiteral("12.3"));
        m_model->setProperty("Level", 25.0);

        QComboBox rate;
        rate.addItems({QStringLiteral("12.5"), QStringLiteral("25"), QStringLiteral("50")});
        QVERIFY(bind("Level", &rate, QStringLiteral("%g")));
        QCOMPARE(rate.currentIndex(), 1);
        rate.setCurrentIndex(2);
        QCOMPARE(m_model->m_level, 50.0);
        QCOMPARE(level.text(), QStringLiteral("50.0"));

        // A string ignores the number format it is given. Typed text is
        // written back once editing is finished.
        QLineEdit count;
        QLineEdit name;
        QVERIFY(bind("Count", &count, QStringLiteral("%03d")));
        QVERIFY(bind("Name", &name, QStringLiteral("%d")));
        QCOMPARE(name.text(), QStringLiteral("起点"));
        count.clear();
        QTest::keyClicks(&count, QStringLiteral("42"));
        QCOMPARE(m_model->m_count, 7);
        QTest::keyClick(&count, Qt::Key_Return);
        QCOMPARE(m_model->m_count, 42);
        QCOMPARE(count.text(), QStringLiteral("042"));
        name.clear();
        QTest::keyClicks(&name, QStringLiteral("End 7B"));
        QTest::keyClick(&name, Qt::Key_Return);
        QCOMPARE(m_model->m_name, QStringLiteral("End 7B"));
    }

    // The collector's status is shown in a combo box that writes every
    // value it is shown back; a change still notifies once.
    void collectorStatusNotifiesOncePerChange()
    {
        QComboBox shown;
        ZOLVA_Collector collector;
        collector.setObjectName(QStringLiteral("collector"));
        QVERIFY(m_manager->addObject(&collector));
        QVERIFY(m_manager->bind(QStringLiteral("collector"), QStringLiteral("SampleStatus"), &shown, QString()));
        QSignalSpy changed(&collector, &ZOLVA_Collector::onSampleStatusChanged);
        collector.SetSampleStatus(ZOLVA_Collector::SAMPLING);
        QCOMPARE(changed.count(), 1);
        QCOMPARE(shown.currentText(), QStringLiteral("SAMPLING"));
        collector.SetSampleStatus(ZOLVA_Collector::SAMPLING);
        shown.setCurrentIndex(ZOLVA_Collector::UPLOAD);
        QCOMPARE(changed.count(), 2);
        QCOMPARE(collector.GetSampleStatus(), ZOLVA_Collector::UPLOAD);
    }

    void untouchedFieldsWriteNothing()
    {
        // Focus passing through a field must not store the value rounded to
        // its display format.
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

    void unsupportedBindingsFail()
    {
        QLabel label;
        QCheckBox check;
        const QList<QPair<const char*, QWidget*>> refused = {{"Flag", &label},       {"Level", &check},
                                                             {"Other", &label},      {"Missing", &label},
                                                             {"objectName", &label}, {"Name", nullptr}};
        for (const auto& binding : refused)
            QVERIFY2(!bind(binding.first, binding.second), binding.first);
        QVERIFY(!m_manager->bind(QStringLiteral("nobody"), QStringLiteral("Name"), &label));
        Model unnamed{QString()};
        QVERIFY(!m_manager->addObject(&unnamed));
    }

    void lifetimes()
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
};

QTEST_MAIN(tst_ViewProxy)
#include "tst_viewproxy.moc"
