#include "WindowTest.h"
#include "tests/support/TestEnvironment.h"
#include "ui/Form_Status.h"

#include <QHash>
#include <QLabel>
#include <QPushButton>
#include <QStackedWidget>
#include <QTest>

#include <algorithm>
#include <cstdlib>

namespace {

// Nothing here opens a project, so nothing connects to these.
const QString TransmitterAddress = TestLoopback::Address(TestLoopback::MainWindowTests, 201);
const QString ReceiverAddress = TestLoopback::Address(TestLoopback::MainWindowTests, 202);

// Pixels of a widget's grab that stand out from its background, the colour
// most of them have.
int ink(QWidget* widget)
{
    const QImage image = widget->grab().toImage();
    QHash<QRgb, int> colours;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x)
            ++colours[image.pixel(x, y)];
    }
    const QRgb background = std::max_element(colours.cbegin(), colours.cend()).key();
    int count = 0;
    for (auto colour = colours.cbegin(); colour != colours.cend(); ++colour)
        count += std::abs(qGray(colour.key()) - qGray(background)) >= 64 ? colour.value() : 0;
    return count;
}

} // namespace

// The real window with the fonts the machine has installed, as the operator
// sees it.
class tst_WindowDrawing : public WindowTest
{
    Q_OBJECT

private slots:
    void init()
    {
        QVERIFY(setUp(TransmitterAddress, ReceiverAddress));
        makeWindow();
        m_window->resize(m_window->minimumSize());
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get(), TestTimeoutMs()));
        widget<QStackedWidget>("stackedWidget")->setCurrentIndex(1);
    }

    void cleanup() { tearDown(); }

    // A face may claim a character and draw nothing for it: each symbol is
    // drawn on its own and must leave ink.
    void everySymbolIsDrawn()
    {
        auto* status = m_window->findChild<Form_Status*>();
        QVERIFY(status);
        QVector<QPair<QWidget*, QString>> shown;
        for (const char* name : {"label_3", "label_C", "label_us"})
            shown.append({status->findChild<QLabel*>(QLatin1String(name)), QString()});
        // The Wi-Fi quality joins the status text once connected.
        shown.append({status->findChild<QLabel*>(QStringLiteral("StatusConnect")), QStringLiteral("📶")});
        for (const char* name : {"pushButton_Min", "pushButton_Max", "pushButton_Close"})
            shown.append({widget(name), QString()});

        QStringList blank;
        for (const auto& item : qAsConst(shown)) {
            QVERIFY(item.first);
            const QVariant text = item.first->property("text");
            const QString symbols = item.second.isEmpty() ? text.toString() : item.second;
            for (uint symbol : symbols.toUcs4()) {
                const QString one = QString::fromUcs4(&symbol, 1);
                item.first->setProperty("text", one);
                if (ink(item.first) < 6)
                    blank << item.first->objectName() + ": " + one;
            }
            item.first->setProperty("text", text);
        }
        QVERIFY2(blank.isEmpty(), qPrintable(blank.join(QStringLiteral(", "))));
    }
};

QTEST_MAIN(tst_WindowDrawing)
#include "tst_windowdrawing.moc"
