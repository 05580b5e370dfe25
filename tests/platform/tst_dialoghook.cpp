#include "platform/DialogHook.h"
#include "tests/support/DialogAnswers.h"
#include "tests/support/TestEnvironment.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

#include <algorithm>
#include <functional>

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

    // Runs `step` from the event loop, as another part of the program would.
    static void later(std::function<void()> step) { QTimer::singleShot(0, step); }

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
        later([&] {
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
        QTest::newRow("second") << "放弃" << 1;
        QTest::newRow("last") << "取消" << 2;
        QTest::newRow("escape") << "" << 2;
    }

    void aChoiceReturnsTheButtonChosen()
    {
        QFETCH(QString, press);
        later([&] {
            QVERIFY(QTest::qWaitFor([] { return !openBoxes().isEmpty(); }, TestTimeoutMs()));
            QMessageBox* box = openBoxes().first();
            QStringList texts;
            for (QAbstractButton* button : box->buttons())
                texts << button->text();
            std::sort(texts.begin(), texts.end());
            QCOMPARE(texts, (QStringList{"取消", "放弃", "等待"}));
            if (press.isEmpty())
                QTest::keyClick(box, Qt::Key_Escape);
            else
                QVERIFY(answerTheBox(press));
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

    // Installed answers hold their box open while they run: what another
    // part raises meanwhile is answered after, in order, a question too.
    void installedAnswersAreQueuedAsBoxesAre()
    {
        int open = 0;
        QStringList answered;
        DialogHook::setMessageAnswer([&](const DialogHook::Message& m) {
            answered << QStringLiteral("%1 (%2 open)").arg(m.text).arg(++open);
            if (m.text == "A") {
                DialogHook::warning(nullptr, "警告", "B");
                DialogHook::warning(nullptr, "警告", "A");
                QTest::qWait(1);
            }
            --open;
        });
        DialogHook::setQuestionAnswer([&](const DialogHook::Message& m) {
            answered << QStringLiteral("%1 (%2 open)").arg(m.text).arg(open + 1);
            return false;
        });
        DialogHook::warning(nullptr, "警告", "A");
        QCOMPARE(DialogHook::question(nullptr, "停止采集", "Q"), false);
        QCOMPARE(answered, (QStringList{"A (1 open)", "B (1 open)", "Q (1 open)"}));
    }
};

QTEST_MAIN(TestDialogHook)
#include "tst_dialoghook.moc"
