#pragma once

#include "orm/Dao.h"
#include "orm/Database.h"
#include "project/Data_Line.h"
#include "project/Data_Point.h"
#include "project/Data_Project.h"
#include "project/Data_Sample.h"
#include "project/Data_WorkSet.h"

#include <QTemporaryDir>

// A fresh project file with the five tables, on the default connections.
class ProjectFile
{
public:
    ProjectFile()
    {
        orm::ConnectionSettings settings;
        settings.databaseName = m_dir.filePath(QStringLiteral("test.ZOLVA"));
        orm::Database::setSettings(settings);
        m_created = orm::createTable<Data_Project>().isOk() && orm::createTable<Data_Line>().isOk()
            && orm::createTable<Data_Point>().isOk() && orm::createTable<Data_Sample>().isOk()
            && orm::createTable<Data_WorkSet>().isOk();
    }
    ~ProjectFile() { orm::Database::dropAll(); }

    bool created() const { return m_created; }

private:
    QTemporaryDir m_dir;
    bool m_created = false;
};
