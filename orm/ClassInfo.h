#pragma once

#include <QString>
#include <QVariantMap>
#include <QVector>

namespace orm {

enum class ColumnKind { Id, Data, ManyToOne };

// One column of a registered class, in registration order. One-to-many
// members own no column and are listed as relations instead, so a schema
// update walking the columns never adds a column for them.
struct ColumnInfo
{
    QString name;
    QString typeName; // key into SqlTypes
    ColumnKind kind = ColumnKind::Data;
    QVariantMap properties; // property bag, e.g. "INDEX"

    QString sqlType() const;
};

struct RelationInfo
{
    QString name;       // member name, e.g. "list_Data_Point"
    QString foreignKey; // column of the child table naming the parent
    QString childTable;
};

// What the mapper knows of a registered class, without its C++ type.
class ClassInfo
{
public:
    virtual ~ClassInfo() = default;

    const QString& name() const { return m_name; }
    const QVector<ColumnInfo>& columns() const { return m_columns; }
    const QVector<RelationInfo>& relations() const { return m_relations; }
    // -1 when the class has no such column.
    int columnIndex(const QString& column) const;

protected:
    QString m_name;
    QVector<ColumnInfo> m_columns;
    QVector<RelationInfo> m_relations;
};

} // namespace orm
