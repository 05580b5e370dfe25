#include "WindowTest.h"
#include "tests/support/TestEnvironment.h"
#include "tools/simunits/SimUnitPair.h"
#include "ui/DeveloperAccess.h"

#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTabBar>
#include <QTest>
#include <QTreeWidget>

#include <qwt_plot.h>
#include <qwt_plot_curve.h>

namespace {

const QString TransmitterAddress = TestLoopback::Address(TestLoopback::WorkflowTests, 1);
const QString ReceiverAddress = TestLoopback::Address(TestLoopback::WorkflowTests, 2);
const QDate Today(2026, 12, 6);

} // namespace

// The whole field workflow through the real window, against simulated units
// on loopback, in a working directory of its own.
class tst_Workflow : public WindowTest
{
    Q_OBJECT

private slots:
    void init()
    {
        QVERIFY(setUp(TransmitterAddress, ReceiverAddress));
        DialogHook::setInputAnswer(
            [](const DialogHook::InputRequest&) { return QVariant(DeveloperAccess::passwordFor(Today)); });
        m_units = std::make_unique<SimUnitPair>();
        m_units->SetTimeScale(0.01);
        QVERIFY(m_units->Listen(QHostAddress(TransmitterAddress), QHostAddress(ReceiverAddress)));
        makeWindow(Today);
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get(), TestTimeoutMs()));
    }

    void cleanup()
    {
        tearDown();
        m_units.reset();
    }

    void fieldDay()
    {
        const QString project = path(QStringLiteral("field.ZOLVA"));

        // A new project connects at once.
        m_nextFile = path(QStringLiteral("field"));
        widget<QPushButton>("pushButton_Project_New")->click();
        QVERIFY(QFile::exists(project));
        QCOMPARE(widget<QTabBar>("tabBar")->currentIndex(), 1);
        QVERIFY(waitForStatus(ZOLVA_Collector::IDLE));

        // Single acquisitions of two repeats on line 3: point 100, then the next
        // point, 110, which the window offers after the store.
        enter("LineNo", QStringLiteral("3"));
        enter("PointNo", QStringLiteral("100"));
        enter("ParamRepeat", QStringLiteral("2"));
        for (const char* point : {"100", "110"}) {
            QCOMPARE(widget<QLineEdit>("PointNo")->text(), QString::fromLatin1(point));
            widget<QPushButton>("pushButton_Start")->click();
            QVERIFY(waitForStatus(ZOLVA_Collector::UPLOAD));
            QVERIFY(curves("graph_Sample") > 0);
            QCOMPARE(curves("graph_Send"), 1);
            QCOMPARE(curves("graph_Off"), 1);
            widget<QPushButton>("pushButton_SaveOK")->click();
            QVERIFY(waitForStatus(ZOLVA_Collector::IDLE));
        }

        auto* tree = widget<QTreeWidget>("DataModel");
        QCOMPARE(tree->topLevelItem(0)->text(0), QStringLiteral("3 (2点)"));
        QCOMPARE(tree->topLevelItem(0)->child(0)->text(0), QStringLiteral("100"));
        QCOMPARE(tree->topLevelItem(0)->child(1)->text(0), QStringLiteral("110"));
        QCOMPARE(widget<QLineEdit>("PointNo")->text(), QStringLiteral("120"));

        // Selecting the point re-plots it; selecting the line draws its profile.
        QVERIFY(QMetaObject::invokeMethod(tree, "onDoubleClicked",
                                          Q_ARG(QModelIndex, tree->model()->index(0, 0, tree->model()->index(0, 0)))));
        QTRY_COMPARE_WITH_TIMEOUT(widget<QwtPlot>("graph_Sample")->title().text(), QStringLiteral("3线 100点"),
                                  TestTimeoutMs());
        QVERIFY(QMetaObject::invokeMethod(tree, "onDoubleClicked", Q_ARG(QModelIndex, tree->model()->index(0, 0))));
        QTRY_VERIFY_WITH_TIMEOUT(widget<QwtPlot>("graph_Sample")->title().text() != QStringLiteral("3线 100点"),
                                 TestTimeoutMs());
        QVERIFY(curves("graph_Sample") > 0);

        // Closed and reopened from the recent list, the data is there.
        widget<QPushButton>("pushButton_Project_Close")->click();
        QVERIFY(waitForStatus(ZOLVA_Collector::DISCONN));
        QCOMPARE(tree->topLevelItemCount(), 0);
        auto* recent = widget<QListWidget>("RecentProject");
        QCOMPARE(recent->item(0)->text(), project);
        emit recent->itemDoubleClicked(recent->item(0));
        QCOMPARE(tree->topLevelItem(0)->text(0), QStringLiteral("3 (2点)"));
        QCOMPARE(tree->topLevelItem(0)->child(1)->childCount(), 2);
        QVERIFY(waitForStatus(ZOLVA_Collector::IDLE));

        // Continuous mode on a new line: records store themselves until stopped.
        auto* logo = widget<QPushButton>("btn_Logo");
        for (int i = 0; i < DeveloperAccess::UnlockClicks; ++i)
            logo->click();
        enter("LineNo", QStringLiteral("4"));
        auto* mode = widget<QComboBox>("ContinueMode");
        QVERIFY(mode->isEnabled());
        // The line field keeps the focus: start disabling it announces no line.
        mode->setCurrentIndex(1);
        widget<QPushButton>("pushButton_Start")->click();
        QTRY_VERIFY_WITH_TIMEOUT(tree->topLevelItemCount() == 2 && tree->topLevelItem(1)->childCount() >= 3,
                                 TestTimeoutMs());
        widget<QPushButton>("pushButton_Stop")->click();
        QVERIFY(waitForStatus(ZOLVA_Collector::IDLE));

        // The export holds every stored point as a sounding, and is reported
        // only when the file was written.
        const int towed = tree->topLevelItem(1)->childCount();
        m_nextFile = path(QStringLiteral("missing/field.usf"));
        auto* exportButton = widget<QPushButton>("pushButton_Export_USF");
        QVERIFY(!exportButton->isHidden());
        exportButton->click();
        QCOMPARE(m_shown.last(), QStringLiteral("导出数据: 导出文件不能打开"));
        m_nextFile = path(QStringLiteral("field.usf"));
        exportButton->click();
        QCOMPARE(m_shown.last(), QStringLiteral("导出USF: 导出成功"));
        QFile usf(m_nextFile);
        QVERIFY(usf.open(QIODevice::ReadOnly | QIODevice::Text));
        const QString text = QString::fromUtf8(usf.readAll());
        QVERIFY(text.startsWith(QStringLiteral("//USF: Universal Sounding Format\n")));
        QCOMPARE(text.count(QStringLiteral("/SOUNDING_NAME:")), 2 + towed);
    }

private:
    bool waitForStatus(ZOLVA_Collector::ZOLVASampleStatus wanted) const
    {
        const QObject* collector = widget<QObject>("m_ZOLVA_Collector");
        return QTest::qWaitFor([&] { return collector->property("SampleStatus").toInt() == wanted; }, TestTimeoutMs());
    }

    int curves(const char* graph) const { return widget<QwtPlot>(graph)->itemList(QwtPlotItem::Rtti_PlotCurve).size(); }

    void enter(const char* field, const QString& text)
    {
        auto* edit = widget<QLineEdit>(field);
        edit->setFocus();
        edit->selectAll();
        QTest::keyClicks(edit, text);
        QTest::keyClick(edit, Qt::Key_Return);
    }

    std::unique_ptr<SimUnitPair> m_units;
};

QTEST_MAIN(tst_Workflow)
#include "tst_workflow.moc"
