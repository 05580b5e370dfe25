#include "platform/DialogHook.h"
#include "tests/support/DialogAnswers.h"
#include "tests/support/TestEnvironment.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

#include <algorithm>

namespace {

QList<QMessageBox*> openBoxes()
{
    QList<QMessageBox*> boxes;
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        auto* box = qobject_cast<QMessageBox*>(widget);
        if (box && box->isVisible())
            boxes << box;
    }
    return boxes;
}

} // namespace

// Boxes raised by any part of the program are shown one at a time, in the
// order raised: each real box is looked at, then closed as an operator would.
class TestDialogHook : public QObject
{
    Q_OBJECT

    // The text of every box as it opened, with the number open then.
    QStringList seen;

    // Waits for a box to be open alone, notes it, and presses its button
    // named `button` (the first when empty).
    bool answerTheBox(const QString& button = QString())
    {
        if (!QTest::qWaitFor([] { return !openBoxes().isEmpty(); }, TestTimeoutMs()))
            return false;
        const QList<QMessageBox*> boxes = openBoxes();
        seen << QStringLiteral("%1 (%2 open)").arg(boxes.first()->text()).arg(boxes.size());
        QList<QAbstractButton*> buttons = boxes.first()->buttons();
        auto chosen = std::find_if(buttons.begin(), buttons.end(),
                                   [&](QAbstractButton* b) { return button.isEmpty() || b->text() == button; });
        if (chosen == buttons.end())
            return false;
        (*chosen)->click();
        return QTest::qWaitFor([box = boxes.first()] { return !box->isVisible(); }, TestTimeoutMs());
    }

private slots:
    void init() { seen.clear(); }
    void cleanup()
    {
        resetDialogAnswers();
        for (QMessageBox* box : openBoxes())
            box->close();
    }

    // A message returns at once and its box opens; the others wait for it,
    // one saying the same as one open or waiting is dropped.
    void messagesRaisedWhileABoxIsOpenFollowIt()
    {
        DialogHook::warning(nullptr, "警告", "A");
        DialogHook::critical(nullptr, "错误", "B");
        DialogHook::warning(nullptr, "警告", "A");
        DialogHook::information(nullptr, "信息", "C");
        DialogHook::critical(nullptr, "错误", "B");
        for (int box = 0; box < 3; ++box)
            QVERIFY(answerTheBox());
        QVERIFY(openBoxes().isEmpty());
        QCOMPARE(seen, (QStringList{"A (1 open)", "B (1 open)", "C (1 open)"}));
        // Once closed, the same message is told again.
        DialogHook::warning(nullptr, "警告", "A");
        QVERIFY(answerTheBox());
        QCOMPARE(seen.last(), QStringLiteral("A (1 open)"));
    }

    // A question asked while a box is open is asked once it is closed; a
    // message raised while the question waits follows it.
    void aQuestionWaitsForTheBoxOpen()
    {
        DialogHook::warning(nullptr, "警告", "A");
        bool answered = false;
        QTimer::singleShot(0, [&] {
            DialogHook::warning(nullptr, "警告", "after");
            answered = answerTheBox() && answerTheBox("&Yes") && answerTheBox();
        });
        QCOMPARE(DialogHook::question(nullptr, "停止采集", "Q"), true);
        QTRY_VERIFY_WITH_TIMEOUT(answered, TestTimeoutMs());
        QCOMPARE(seen, (QStringList{"A (1 open)", "Q (1 open)", "after (1 open)"}));
    }

    void aChoiceReturnsTheButtonChosen_data()
    {
        QTest::addColumn<QString>("press");
        QTest::addColumn<int>("chosen");
        QTest::newRow("first") << "等待" << 0;
        QTest::newRow("escape") << "" << 2;
    }

    void aChoiceReturnsTheButtonChosen()
    {
        QFETCH(QString, press);
        QTimer::singleShot(0, [&] {
            if (!press.isEmpty())
                QVERIFY(answerTheBox(press));
            else if (QTest::qWaitFor([] { return !openBoxes().isEmpty(); }, TestTimeoutMs()))
                QTest::keyClick(openBoxes().first(), Qt::Key_Escape);
        });
        QTEST(DialogHook::choose(nullptr, "关闭工程", "N", {"等待", "放弃", "取消"}), "chosen");
    }

    // A box that goes with its parent lets the next one open.
    void aBoxGoneWithItsParentLetsTheNextOpen()
    {
        auto* parent = new QWidget;
        DialogHook::warning(parent, "警告", "A");
        DialogHook::warning(nullptr, "警告", "B");
        QTRY_COMPARE_WITH_TIMEOUT(openBoxes().size(), 1, TestTimeoutMs());
        delete parent;
        QVERIFY(answerTheBox());
        QCOMPARE(seen, QStringList{"B (1 open)"});
    }
};

QTEST_MAIN(TestDialogHook)
#include "tst_dialoghook.moc"
