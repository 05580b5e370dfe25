#include "orm/Dao.h"

#include "orm/Database.h"

namespace orm {

namespace {

Status columnIndices(const ClassInfo& info, const QStringList& names, QVector<int>* indices)
{
    indices->clear();
    int idColumn = -1;
    for (int i = 0; i < info.columns().size(); ++i) {
        if (info.columns().at(i).kind == ColumnKind::Id)
            idColumn = i;
    }
    if (idColumn >= 0)
        indices->append(idColumn);
    if (names.isEmpty()) {
        for (int i = 0; i < info.columns().size(); ++i) {
            if (i != idColumn)
                indices->append(i);
        }
        return Status();
    }
    for (const QString& name : names) {
        const int index = info.columnIndex(name.trimmed());
        if (index < 0)
            return Status::failed(QStringLiteral("no column %1 in %2").arg(name, info.name()));
        if (!indices->contains(index))
            indices->append(index);
    }
    return Status();
}

} // namespace

namespace detail {

QSqlDatabase resolve(const QSqlDatabase& db, Status* status)
{
    QSqlDatabase conn = db.isValid() ? db : Database::connection(status);
    if (!conn.isOpen() && status->isOk())
        *status =
            Status::failed(conn.lastError().type() == QSqlError::NoError
                               ? QSqlError(QStringLiteral("database not open"), QString(), QSqlError::ConnectionError)
                               : conn.lastError());
    return conn;
}

Status run(QSqlQuery& query, const QString& sql, const QVariantList& values)
{
    if (!query.prepare(sql))
        return Status::failed(query.lastError());
    for (const QVariant& value : values)
        query.addBindValue(value);
    if (!query.exec())
        return Status::failed(query.lastError());
    return Status();
}

Status select(QSqlQuery& query, const QString& sql, const QVariantList& values)
{
    query.setForwardOnly(true);
    return run(query, sql, values);
}

Status rowsRead(const QSqlQuery& query)
{
    return query.lastError().type() == QSqlError::NoError ? Status() : Status::failed(query.lastError());
}

// Brackets, not double quotes: SQLite reads a double-quoted name that is no
// column as a string literal, so a missing column would not be an error.
QString quoted(const QString& name)
{
    return QLatin1Char('[') + name + QLatin1Char(']');
}

QString placeholders(int count)
{
    QStringList marks;
    for (int i = 0; i < count; ++i)
        marks.append(QStringLiteral("?"));
    return marks.join(QLatin1Char(','));
}

Status inIdRuns(const QVector<int>& ids, const std::function<Status(const QString&, const QVariantList&)>& part)
{
    // SQLite binds at most 999 values per statement.
    constexpr int Run = 500;
    for (int first = 0; first < ids.size(); first += Run) {
        QVariantList values;
        for (int id : ids.mid(first, Run))
            values.append(id);
        const Status status = part(placeholders(values.size()), values);
        if (!status.isOk())
            return status;
    }
    return Status();
}

QString createTableSql(const ClassInfo& info)
{
    QStringList columns;
    for (const ColumnInfo& column : info.columns()) {
        if (column.kind == ColumnKind::Id)
            columns.append(quoted(column.name) + QStringLiteral(" INTEGER NOT NULL PRIMARY KEY AUTOINCREMENT"));
        else
            columns.append(quoted(column.name) + QLatin1Char(' ') + column.sqlType());
    }
    return QStringLiteral("CREATE TABLE IF NOT EXISTS %1 (%2)")
        .arg(quoted(info.name()), columns.join(QStringLiteral(", ")));
}

Status prepare(const ClassInfo& info, const QStringList& columns, const QSqlDatabase& db, QVector<int>* indices,
               QSqlDatabase* conn)
{
    Status status = columnIndices(info, columns, indices);
    if (status.isOk())
        *conn = resolve(db, &status);
    return status;
}

QString columnList(const ClassInfo& info, const QVector<int>& indices)
{
    QStringList names;
    for (int index : indices)
        names.append(quoted(info.columns().at(index).name));
    return names.join(QLatin1Char(','));
}

Status selectRows(const ClassInfo& info, const QStringList& columns, const QString& suffix, const QVariantList& values,
                  const QSqlDatabase& db, QVector<int>* indices, const std::function<void(const QSqlQuery&)>& row)
{
    QSqlDatabase conn;
    Status status = prepare(info, columns, db, indices, &conn);
    if (!status.isOk())
        return status;
    QSqlQuery query(conn);
    status = select(query,
                    QStringLiteral("SELECT %1 FROM %2 %3").arg(columnList(info, *indices), quoted(info.name()), suffix),
                    values);
    if (!status.isOk())
        return status;
    while (query.next())
        row(query);
    return rowsRead(query);
}

} // namespace detail

Status execute(const QString& sql, const QVariantList& values, const QSqlDatabase& db)
{
    Status status;
    QSqlDatabase conn = detail::resolve(db, &status);
    if (!status.isOk())
        return status;
    QSqlQuery query(conn);
    return detail::run(query, sql, values);
}

} // namespace orm
