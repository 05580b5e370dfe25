#pragma once

#include "project/ProjectFileAccess.h"

#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>

// A read of the selection that the project file refused. The status tells
// it; while another program holds the file the read is tried again every
// retryMs (each try waits for the file no longer than any read does), until
// it is done or no longer wanted. A read that fails for another cause is
// not tried again.
class ReadRetry : public QObject
{
    Q_OBJECT

public:
    ReadRetry(int retryMs, std::function<void()> retry, QObject* parent = nullptr);

    void failed(ProjectFileAccess::Access access);
    // Read, or another selection made: nothing to tell or try.
    void clear();
    // For the status panel, in rich text; empty when nothing is to be told.
    QString status() const;

signals:
    void changed();

private:
    void set(ProjectFileAccess::Access access);

    QTimer retryTimer;
    std::function<void()> retry;
    // Writable while no read waits.
    ProjectFileAccess::Access failure = ProjectFileAccess::Writable;
};
