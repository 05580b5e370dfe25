#pragma once

#include <QDir>
#include <QTemporaryDir>

// A fresh directory made the working directory while the object lives.
struct WorkingDirectory
{
    QTemporaryDir dir;
    const QString previous = QDir::currentPath();
    const bool entered = QDir::setCurrent(dir.path());

    ~WorkingDirectory() { QDir::setCurrent(previous); }
};
