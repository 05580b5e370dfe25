#pragma once

#include "orm/Dao.h"
#include "orm/Database.h"
#include "project/Data_Line.h"
#include "project/Data_Point.h"
#include "project/Data_Project.h"
#include "project/Data_Sample.h"
#include "project/Data_WorkSet.h"

#include <QFile>
#include <QTemporaryDir>

// A fresh project file with the five tables, on the default connections.
class ProjectFile
{
public:
    explicit ProjectFile(const QString& name = QStringLiteral("test.ZOLVA"))
    {
        orm::ConnectionSettings settings;
        settings.databaseName = m_dir.filePath(name);
        orm::Database::setSettings(settings);
    }
    ~ProjectFile() { orm::Database::dropAll(); }

    QString path() const { return orm::Database::settings().databaseName; }

    bool createTables() const
    {
        return orm::createTable<Data_Project>().isOk() && orm::createTable<Data_Line>().isOk()
            && orm::createTable<Data_Point>().isOk() && orm::createTable<Data_Sample>().isOk()
            && orm::createTable<Data_WorkSet>().isOk();
    }

private:
    QTemporaryDir m_dir;
};
