#pragma once

#include "WorkingDirectory.h"
#include "acquisition/ZOLVA_Collector.h"
#include "tests/support/DialogAnswers.h"
#include "tests/support/TestEnvironment.h"
#include "tools/simunits/SimUnitPair.h"
#include "ui/DeveloperAccess.h"
#include "ui/MainWindow.h"

#include <QLineEdit>
#include <QSettings>
#include <QTest>

#include <memory>

// The main window in a working directory of its own whose "config.ini" names
// the given loopback units. Messages are recorded in m_shown as
// "title: text", questions answered Yes, file dialogs with m_nextFile.
class WindowTest : public QObject
{
protected:
    std::unique_ptr<WorkingDirectory> m_dir;
    std::unique_ptr<MainWindow> m_window;
    QStringList m_shown;
    QString m_nextFile;
    std::unique_ptr<SimUnitPair> m_units;

    bool setUp(const QString& transmitter, const QString& receiver)
    {
        m_dir = std::make_unique<WorkingDirectory>();
        QSettings config(QStringLiteral("config.ini"), QSettings::IniFormat);
        config.setValue(QStringLiteral("SysConf/SendIP"), transmitter);
        config.setValue(QStringLiteral("SysConf/RecvIP"), receiver);
        m_shown.clear();
        DialogHook::setMessageAnswer([this](const DialogHook::Message& m) { m_shown << m.title + ": " + m.text; });
        DialogHook::setQuestionAnswer([](const DialogHook::Message&) { return true; });
        DialogHook::setFileAnswer([this](const DialogHook::FileRequest&) { return m_nextFile; });
        return m_dir->entered;
    }

    void tearDown()
    {
        m_window.reset();
        resetDialogAnswers();
        m_units.reset();
        m_dir.reset();
    }

    // Simulated units on the two addresses, their records timeScale times
    // as long as real ones.
    bool listenUnits(const QString& transmitter, const QString& receiver, double timeScale = 0.01)
    {
        m_units = std::make_unique<SimUnitPair>();
        m_units->SetTimeScale(timeScale);
        return m_units->Listen(QHostAddress(transmitter), QHostAddress(receiver));
    }

    // Shown, with developer mode opened by today's password when asked.
    bool showWindow(const QDate& today)
    {
        DialogHook::setInputAnswer(
            [today](const DialogHook::InputRequest&) { return QVariant(DeveloperAccess::passwordFor(today)); });
        makeWindow(today);
        m_window->show();
        return QTest::qWaitForWindowExposed(m_window.get(), TestTimeoutMs());
    }

    // The signal query answers "no wireless" rather than asking the machine.
    void makeWindow(const QDate& today = QDate(2026, 12, 6))
    {
        m_window = std::make_unique<MainWindow>();
        m_window->setDateSource([today] { return today; });
        widget<ZOLVA_Collector>("m_ZOLVA_Collector")->SetWifiQuery([] { return -1; });
    }

    QString path(const QString& name) const { return m_dir->dir.filePath(name); }

    int status() const { return widget<QObject>("m_ZOLVA_Collector")->property("SampleStatus").toInt(); }

    bool waitForStatus(int wanted) const
    {
        return QTest::qWaitFor([&] { return status() == wanted; }, TestTimeoutMs());
    }

    // Typed as the operator types it, confirmed with Return.
    void enter(const char* name, const QString& text)
    {
        auto* field = widget<QLineEdit>(name);
        field->setFocus();
        field->selectAll();
        QTest::keyClicks(field, text);
        QTest::keyClick(field, Qt::Key_Return);
    }

    template <class T = QWidget>
    T* widget(const char* name) const
    {
        return m_window->findChild<T*>(QLatin1String(name));
    }
};
