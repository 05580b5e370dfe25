#pragma once

#include "acquisition/ZOLVA_Collector.h"
#include "tests/support/DialogAnswers.h"
#include "ui/MainWindow.h"

#include <QDir>
#include <QSettings>
#include <QTemporaryDir>

#include <memory>

// The main window in a working directory of its own whose "config.ini" names
// the given loopback units. Messages are recorded in `shown` as
// "title: text", questions answered Yes, file dialogs with `nextFile`.
struct WindowRig
{
    QTemporaryDir dir;
    const QString previousDir = QDir::currentPath();
    const bool entered = QDir::setCurrent(dir.path());
    std::unique_ptr<MainWindow> window;
    QStringList shown;
    QString nextFile;

    WindowRig(const QString& transmitter, const QString& receiver)
    {
        QSettings config(QStringLiteral("config.ini"), QSettings::IniFormat);
        config.setValue(QStringLiteral("SysConf/SendIP"), transmitter);
        config.setValue(QStringLiteral("SysConf/RecvIP"), receiver);
        DialogHook::setMessageAnswer([this](const DialogHook::Message& m) { shown << m.title + ": " + m.text; });
        DialogHook::setQuestionAnswer([](const DialogHook::Message&) { return true; });
        DialogHook::setFileAnswer([this](const DialogHook::FileRequest&) { return nextFile; });
    }

    ~WindowRig()
    {
        window.reset();
        resetDialogAnswers();
        QDir::setCurrent(previousDir);
    }

    // The signal query answers "no wireless" rather than asking the machine.
    void makeWindow(const QDate& today)
    {
        window = std::make_unique<MainWindow>();
        window->setDateSource([today] { return today; });
        widget<ZOLVA_Collector>("m_ZOLVA_Collector")->SetWifiQuery([] { return -1; });
    }

    template <class T = QWidget>
    T* widget(const char* name) const
    {
        return window->findChild<T*>(QLatin1String(name));
    }
};
