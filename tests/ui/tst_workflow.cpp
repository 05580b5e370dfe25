#include "WindowTest.h"
#include "tests/support/TestEnvironment.h"
#include "tools/simunits/SimUnitPair.h"
#include "ui/DeveloperAccess.h"
#include "ui/Graph_Lines.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTabBar>
#include <QTest>
#include <QTreeWidget>

#include <qwt_plot.h>
#include <qwt_plot_curve.h>
#include <qwt_plot_textlabel.h>
#include <qwt_symbol.h>

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
        QVERIFY(listenUnits(TransmitterAddress, ReceiverAddress));
        QVERIFY(showWindow(Today));
    }

    void cleanup() { tearDown(); }

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
            QCOMPARE(decayStyles(), QStringList{"diamonds above the grid"});
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
        QVERIFY(widget("graph_Line")->isHidden());
        // Each sample faint and behind, their mean as open diamonds in front.
        QCOMPARE(decayStyles(),
                 (QStringList{"dash-dot below the grid", "dash-dot below the grid", "diamonds above the grid"}));
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

    void closingClearsWhatTheProjectShowed_data()
    {
        QTest::addColumn<QString>("shown");
        QTest::newRow("towed acquisition") << "acquisition";
        QTest::newRow("towed point") << "point";
        QTest::newRow("line profile") << "line";
    }

    // What a project showed leaves with it: the next project starts with the
    // window as it was at start-up.
    void closingClearsWhatTheProjectShowed()
    {
        QFETCH(QString, shown);
        const QStringList empty = statusValues();
        m_nextFile = path(QStringLiteral("towed"));
        widget<QPushButton>("pushButton_Project_New")->click();
        QVERIFY(waitForStatus(ZOLVA_Collector::IDLE));
        for (int i = 0; i < DeveloperAccess::UnlockClicks; ++i)
            widget<QPushButton>("btn_Logo")->click();
        enter("LineNo", QStringLiteral("4"));
        widget<QComboBox>("ContinueMode")->setCurrentIndex(1);
        widget<QPushButton>("pushButton_Start")->click();
        auto* tree = widget<QTreeWidget>("DataModel");
        QTRY_VERIFY_WITH_TIMEOUT(tree->topLevelItemCount() == 1 && tree->topLevelItem(0)->childCount() >= 3,
                                 TestTimeoutMs());
        widget<QPushButton>("pushButton_Stop")->click();
        QVERIFY(waitForStatus(ZOLVA_Collector::IDLE));

        auto* line = widget<Graph_Lines>("graph_Line");
        auto* sample = widget<Graph_Lines>("graph_Sample");
        // Each selection follows the other, so the graph must change for it.
        const QModelIndex lineIndex = tree->model()->index(0, 0);
        const QModelIndex pointIndex = tree->model()->index(1, 0, lineIndex);
        if (shown == "point") {
            QVERIFY(QMetaObject::invokeMethod(tree, "onDoubleClicked", Q_ARG(QModelIndex, lineIndex)));
            QTRY_VERIFY_WITH_TIMEOUT(line->isHidden(), TestTimeoutMs());
            QVERIFY(QMetaObject::invokeMethod(tree, "onDoubleClicked", Q_ARG(QModelIndex, pointIndex)));
            QVERIFY(!line->isHidden());
            QCOMPARE(curves("graph_Line"), 36);
        } else if (shown == "line") {
            QVERIFY(QMetaObject::invokeMethod(tree, "onDoubleClicked", Q_ARG(QModelIndex, pointIndex)));
            QVERIFY(!line->isHidden());
            QVERIFY(QMetaObject::invokeMethod(tree, "onDoubleClicked", Q_ARG(QModelIndex, lineIndex)));
            QTRY_VERIFY_WITH_TIMEOUT(canvasLabels(sample).contains(QStringLiteral("点位")), TestTimeoutMs());
            QVERIFY(line->isHidden());
            QCOMPARE(sample->GetAxisXScale(), Graph_Lines::Linear);
            QCOMPARE(sample->title().text(), QStringLiteral("4线"));
        }
        QVERIFY(sample->title().text() != QStringLiteral("当前采集"));
        QVERIFY(statusValues() != empty);

        widget<QPushButton>("pushButton_Project_Close")->click();
        // Towed pairs the stop handed over are written first, in slices.
        QTRY_VERIFY_WITH_TIMEOUT(widget<QPushButton>("pushButton_Project_Close")->isHidden(), TestTimeoutMs());
        m_nextFile = path(QStringLiteral("next"));
        widget<QPushButton>("pushButton_Project_New")->click();
        QVERIFY(waitForStatus(ZOLVA_Collector::IDLE));
        QCOMPARE(sample->title().text(), QStringLiteral("当前采集"));
        QCOMPARE(sample->GetAxisXScale(), Graph_Lines::Log10);
        QCOMPARE(sample->GetAxisYScale(), Graph_Lines::Log10);
        QVERIFY(canvasLabels(sample).contains(QStringLiteral("衰减时间 / us")));
        QVERIFY(!canvasLabels(sample).contains(QStringLiteral("点位")));
        QVERIFY(line->isHidden());
        for (const char* graph : {"graph_Sample", "graph_Line", "graph_Send", "graph_Off"})
            QVERIFY2(curves(graph) == 0, graph);
        QCOMPARE(statusValues(), empty);
    }

private:
    // The values the status panel shows, apart from the link and progress.
    QStringList statusValues() const
    {
        QStringList values;
        for (const char* name :
             {"SendI_label", "SendOff_label", "ParamFS_label", "ParamPeriod_label", "ParamRepeat_label", "DeviceTemp"})
            values << widget<QLabel>(name)->text();
        values << (widget<QCheckBox>("USE_checkBox")->isChecked() ? QStringLiteral("used") : QStringLiteral("unused"));
        return values;
    }

    QStringList decayStyles() const
    {
        const QwtPlot* graph = widget<QwtPlot>("graph_Sample");
        const double grid = graph->itemList(QwtPlotItem::Rtti_PlotGrid).first()->z();
        QStringList styles;
        for (const QwtPlotItem* item : graph->itemList(QwtPlotItem::Rtti_PlotCurve)) {
            const auto* curve = static_cast<const QwtPlotCurve*>(item);
            const QwtSymbol* symbol = curve->symbol();
            const QString depth =
                curve->z() < grid ? QStringLiteral(" below the grid") : QStringLiteral(" above the grid");
            if (curve->style() == QwtPlotCurve::NoCurve && symbol && symbol->style() == QwtSymbol::Diamond
                && symbol->size() == QSize(8, 8) && symbol->pen().color() == QColor(Qt::blue)
                && symbol->pen().widthF() == 1.5 && symbol->brush().color().alpha() == 0)
                styles << QStringLiteral("diamonds") + depth;
            else if (curve->style() == QwtPlotCurve::Lines && !symbol && curve->pen().style() == Qt::DashDotLine
                     && curve->pen().color() == QColor(Qt::darkGray) && curve->pen().widthF() == 1.0)
                styles << QStringLiteral("dash-dot") + depth;
            else
                styles << QStringLiteral("other") + depth;
        }
        styles.sort();
        return styles;
    }

    static QStringList canvasLabels(const QwtPlot* graph)
    {
        QStringList texts;
        for (const QwtPlotItem* item : graph->itemList(QwtPlotItem::Rtti_PlotTextLabel))
            texts << static_cast<const QwtPlotTextLabel*>(item)->text().text();
        return texts;
    }

    int curves(const char* graph) const { return widget<QwtPlot>(graph)->itemList(QwtPlotItem::Rtti_PlotCurve).size(); }
};

QTEST_MAIN(tst_Workflow)
#include "tst_workflow.moc"
