#include "DialogRecorder.h"

#include "ui/Graph_Lines.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QMenu>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>

class tst_GraphExport : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void csvRowsUseNineSignificantDigits();
    void fileNamesDropColonsAndFallBack();
    void csvNeedsCurveNamedLikeTitle();
    void csvTakesFirstCurveAndCommonLength();
    void pngHasPrintSizeAndResolution();
    void renderedGraphIsNotBlank();
    void unwritableFilesAreReported();
    void contextMenuOffersBothExports();

private:
    QString readAll(const QString &name) const;

    QTemporaryDir *m_dir = nullptr;
    QString m_previousDir;
};

void tst_GraphExport::init()
{
    m_dir = new QTemporaryDir;
    QVERIFY(m_dir->isValid());
    m_previousDir = QDir::currentPath();
    QVERIFY(QDir::setCurrent(m_dir->path()));
}

void tst_GraphExport::cleanup()
{
    QDir::setCurrent(m_previousDir);
    delete m_dir;
    m_dir = nullptr;
}

QString tst_GraphExport::readAll(const QString &name) const
{
    QFile file(name);
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    return QString::fromUtf8(file.readAll());
}

void tst_GraphExport::csvRowsUseNineSignificantDigits()
{
    DialogRecorder dialogs;
    Graph_Lines graph;
    graph.setGraphTitle(QStringLiteral("当前采集"));
    graph.newLine(QStringLiteral("当前采集"), {10.0, 0.5, 123456.0}, {0.000012345678912, -3.0, 1e-12});
    graph.exportToTxt();

    QCOMPARE(readAll(QStringLiteral("当前采集.csv")),
             QStringLiteral("Time/us,Data/v\n10,1.23456789e-05\n0.5,-3\n123456,1e-12\n"));
    QCOMPARE(dialogs.messages.size(), 1);
    QCOMPARE(dialogs.messages.first().kind, DialogHook::Information);
    QCOMPARE(dialogs.messages.first().title, QStringLiteral("导出数据"));
    QCOMPARE(dialogs.messages.first().text,
             QStringLiteral("导出成功\r\n保存至%1/当前采集.csv").arg(QDir::currentPath()));
}

void tst_GraphExport::fileNamesDropColonsAndFallBack()
{
    DialogRecorder dialogs;
    Graph_Lines graph;
    graph.setGraphTitle(QStringLiteral("Point 12:3"));
    graph.newLine(QStringLiteral("Point 12:3"), {1.0, 2.0}, {3.0, 4.0});
    graph.exportToPng();
    graph.exportToTxt();
    QVERIFY(QFile::exists(QStringLiteral("Point 123.png")));
    QVERIFY(QFile::exists(QStringLiteral("Point 123.csv")));
    QCOMPARE(dialogs.messages.first().title, QStringLiteral("截图"));
    QCOMPARE(dialogs.messages.first().text,
             QStringLiteral("导出成功\r\n保存至%1/Point 123.png").arg(QDir::currentPath()));

    Graph_Lines untitled;
    untitled.newLine(QString(), {1.0, 2.0}, {3.0, 4.0});
    untitled.exportToPng();
    untitled.exportToTxt();
    QVERIFY(QFile::exists(QStringLiteral("grabImg.png")));
    QCOMPARE(readAll(QStringLiteral("grabData.csv")), QStringLiteral("Time/us,Data/v\n1,3\n2,4\n"));
}

void tst_GraphExport::csvNeedsCurveNamedLikeTitle()
{
    DialogRecorder dialogs;
    Graph_Lines graph;
    graph.setGraphTitle(QStringLiteral("当前线"));
    graph.newGraph_Lines({{1.0, 2.0}}, {1.0, 2.0}, {10.0});
    graph.exportToTxt();

    QVERIFY(!QFile::exists(QStringLiteral("当前线.csv")));
    QCOMPARE(dialogs.messages.size(), 1);
    QCOMPARE(dialogs.messages.first().title, QStringLiteral("导出数据"));
    QCOMPARE(dialogs.messages.first().text, QStringLiteral("导出失败，无数据或非点数据"));
}

void tst_GraphExport::csvTakesFirstCurveAndCommonLength()
{
    DialogRecorder dialogs;
    Graph_Lines graph;
    graph.setGraphTitle(QStringLiteral("p"));
    graph.newLine(QStringLiteral("p"), {1.0, 2.0, 3.0, 4.0}, {5.0, 6.0});
    graph.newLine(QStringLiteral("p"), {7.0, 8.0}, {9.0, 10.0});
    graph.exportToTxt();
    QCOMPARE(readAll(QStringLiteral("p.csv")), QStringLiteral("Time/us,Data/v\n1,5\n2,6\n"));
}

void tst_GraphExport::pngHasPrintSizeAndResolution()
{
    DialogRecorder dialogs;
    Graph_Lines graph;
    graph.setGraphTitle(QStringLiteral("size"));
    graph.exportToPng();

    QImage image;
    QVERIFY(image.load(QStringLiteral("size.png"), "PNG"));
    QCOMPARE(image.size(), QSize(3780, 2126));
    QVERIFY(qAbs(image.dotsPerMeterX() * 0.0254 - 300.0) < 0.1);
    QVERIFY(qAbs(image.dotsPerMeterY() * 0.0254 - 300.0) < 0.1);
}

void tst_GraphExport::renderedGraphIsNotBlank()
{
    DialogRecorder dialogs;
    Graph_Lines graph;
    graph.setGraphTitle(QStringLiteral("render"));
    graph.setAxisY(false, false, 0, 10);
    graph.newLine(QStringLiteral("render"), {0.0, 50.0, 100.0}, {1.0, 9.0, 1.0});
    graph.exportToPng();

    QImage image;
    QVERIFY(image.load(QStringLiteral("render.png"), "PNG"));
    const QRgb white = QColor(Qt::white).rgb();
    int inked = 0;
    int bluish = 0;
    for (int y = 0; y < image.height(); y += 4) {
        for (int x = 0; x < image.width(); x += 4) {
            const QRgb pixel = image.pixel(x, y);
            if (pixel != white)
                ++inked;
            if (qBlue(pixel) > 150 && qRed(pixel) < 100 && qGreen(pixel) < 100)
                ++bluish;
        }
    }
    // Grid, scales, title and the blue curve leave marks; the white background stays.
    QVERIFY(inked > 1000);
    QVERIFY(inked < image.width() * image.height() / 32);
    QVERIFY(bluish > 10);
}

void tst_GraphExport::unwritableFilesAreReported()
{
    DialogRecorder dialogs;
    QVERIFY(QDir().mkdir(QStringLiteral("grabImg.png")));
    QVERIFY(QDir().mkdir(QStringLiteral("grabData.csv")));
    Graph_Lines graph;
    graph.newLine(QString(), {1.0, 2.0}, {3.0, 4.0});

    graph.exportToPng();
    graph.exportToTxt();
    QCOMPARE(dialogs.messages.size(), 2);
    QCOMPARE(dialogs.messages.at(0).kind, DialogHook::Critical);
    QCOMPARE(dialogs.messages.at(0).title, QStringLiteral("截图"));
    QCOMPARE(dialogs.messages.at(0).text, QStringLiteral("导出文件不能打开"));
    QCOMPARE(dialogs.messages.at(1).kind, DialogHook::Critical);
    QCOMPARE(dialogs.messages.at(1).title, QStringLiteral("导出数据"));
    QCOMPARE(dialogs.messages.at(1).text, QStringLiteral("导出文件不能打开"));
}

void tst_GraphExport::contextMenuOffersBothExports()
{
    DialogRecorder dialogs;
    Graph_Lines graph;
    graph.setGraphTitle(QStringLiteral("menu"));
    graph.newLine(QStringLiteral("menu"), {1.0, 2.0}, {3.0, 4.0});
    QCOMPARE(graph.contextMenuPolicy(), Qt::CustomContextMenu);

    const auto *menu = graph.findChild<QMenu *>();
    QVERIFY(menu);
    const QList<QAction *> actions = menu->actions();
    QCOMPARE(actions.size(), 2);
    QCOMPARE(actions.at(0)->text(), QStringLiteral("截图"));
    QCOMPARE(actions.at(1)->text(), QStringLiteral("导出数据"));

    actions.at(1)->trigger();
    QVERIFY(QFile::exists(QStringLiteral("menu.csv")));
    actions.at(0)->trigger();
    QVERIFY(QFile::exists(QStringLiteral("menu.png")));
}

QTEST_MAIN(tst_GraphExport)
#include "tst_graphexport.moc"
