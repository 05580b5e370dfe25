#include "platform/DialogHook.h"
#include "ui/Graph_Lines.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {

QString readAll(const QString& name)
{
    QFile file(name);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

QString shown(const DialogHook::Message& message)
{
    return QStringLiteral("%1 %2: %3").arg(message.kind).arg(message.title, message.text);
}

QString success(const QString& title, const QString& name)
{
    return QStringLiteral("0 %1: 导出成功\r\n保存至%2/%3").arg(title, QDir::currentPath(), name);
}

} // namespace

// Every case runs in a fresh working directory, where the exports land.
class tst_GraphExport : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void fileNamesAndMessages_data();
    void fileNamesAndMessages();
    void csvTakesFirstCurveNamedLikeTitle();
    void unwritableFilesAreReported();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_previousDir;
    QStringList m_shown;
};

void tst_GraphExport::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    m_previousDir = QDir::currentPath();
    QVERIFY(QDir::setCurrent(m_dir->path()));
    m_shown.clear();
    DialogHook::setMessageAnswer([this](const DialogHook::Message& message) { m_shown.append(shown(message)); });
}

void tst_GraphExport::cleanup()
{
    DialogHook::setMessageAnswer({});
    QDir::setCurrent(m_previousDir);
    m_dir.reset();
}

void tst_GraphExport::fileNamesAndMessages_data()
{
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("png");
    QTest::addColumn<QString>("csv");

    QTest::newRow("colons removed") << "Point 12:3"
                                    << "Point 123.png"
                                    << "Point 123.csv";
    QTest::newRow("empty title") << ""
                                 << "grabImg.png"
                                 << "grabData.csv";
}

void tst_GraphExport::fileNamesAndMessages()
{
    QFETCH(QString, title);
    QFETCH(QString, png);
    QFETCH(QString, csv);
    Graph_Lines graph;
    graph.setGraphTitle(title);
    graph.newLine(title, {10.0, 0.5, 123456.0}, {0.000012345678912, -3.0, 1e-12});
    graph.exportToPng();
    graph.exportToTxt();

    QCOMPARE(readAll(csv), QStringLiteral("Time/us,Data/v\n10,1.23456789e-05\n0.5,-3\n123456,1e-12\n"));
    QCOMPARE(m_shown, (QStringList{success(QStringLiteral("截图"), png), success(QStringLiteral("导出数据"), csv)}));

    const QImage image(png, "PNG");
    QCOMPARE(image.size(), QSize(3780, 2126));
    QCOMPARE(qRound(image.dotsPerMeterX() * 0.0254), 300);
    QCOMPARE(qRound(image.dotsPerMeterY() * 0.0254), 300);
    // Grid, scales, title and the blue curve leave marks on the white page.
    int inked = 0;
    int blue = 0;
    for (int y = 0; y < image.height(); y += 4) {
        for (int x = 0; x < image.width(); x += 4) {
            const QRgb pixel = image.pixel(x, y);
            inked += pixel != QColor(Qt::white).rgb();
            blue += qBlue(pixel) > 150 && qRed(pixel) < 100 && qGreen(pixel) < 100;
        }
    }
    QVERIFY(inked > 1000 && inked < image.width() * image.height() / 32);
    QVERIFY(blue > 10);
}

void tst_GraphExport::csvTakesFirstCurveNamedLikeTitle()
{
    Graph_Lines graph;
    graph.setGraphTitle(QStringLiteral("p"));
    graph.newGraph_Lines({{1.0, 2.0}}, {1.0, 2.0}, {10.0});
    graph.exportToTxt();
    QVERIFY(!QFile::exists(QStringLiteral("p.csv")));
    QCOMPARE(m_shown, QStringList{QStringLiteral("0 导出数据: 导出失败，无数据或非点数据")});

    graph.newLine(QStringLiteral("other"), {1.0, 2.0}, {3.0, 4.0});
    graph.newLine(QStringLiteral("p"), {1.0, 2.0, 3.0, 4.0}, {5.0, 6.0});
    graph.newLine(QStringLiteral("p"), {7.0, 8.0}, {9.0, 10.0});
    graph.exportToTxt();
    QCOMPARE(readAll(QStringLiteral("p.csv")), QStringLiteral("Time/us,Data/v\n1,5\n2,6\n"));
}

void tst_GraphExport::unwritableFilesAreReported()
{
    QVERIFY(QDir().mkdir(QStringLiteral("grabImg.png")));
    QVERIFY(QDir().mkdir(QStringLiteral("grabData.csv")));
    Graph_Lines graph;
    graph.newLine(QString(), {1.0, 2.0}, {3.0, 4.0});
    graph.exportToPng();
    graph.exportToTxt();
    QCOMPARE(m_shown,
             (QStringList{QStringLiteral("2 截图: 导出文件不能打开"), QStringLiteral("2 导出数据: 导出文件不能打开")}));
}

QTEST_MAIN(tst_GraphExport)
#include "tst_graphexport.moc"
