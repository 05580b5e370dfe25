#include "orm/ClassInfo.h"

#include "orm/SqlTypes.h"

namespace orm {

QString ColumnInfo::sqlType() const
{
    return SqlTypes::get(typeName);
}

int ClassInfo::columnIndex(const QString& column) const
{
    for (int i = 0; i < m_columns.size(); ++i) {
        if (m_columns.at(i).name == column)
            return i;
    }
    return -1;
}

} // namespace orm
