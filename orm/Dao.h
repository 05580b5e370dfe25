#pragma once

#include "orm/ClassDef.h"
#include "orm/Query.h"
#include "orm/Status.h"

#include <QHash>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QStringList>
#include <QVariantList>
#include <QVector>

#include <functional>
#include <memory>

// Database operations on registered classes. Every value is bound; column
// and table names come only from the registrations. Each call runs on the
// given connection, or on the calling thread's default connection when none
// is given.
namespace orm {

namespace detail {

QSqlDatabase resolve(const QSqlDatabase& db, Status* status);
Status run(QSqlQuery& query, const QString& sql, const QVariantList& values);
// A forward-only query, since rows are read once in order.
Status select(QSqlQuery& query, const QString& sql, const QVariantList& values);
// Whether the rows of a select were all read.
Status rowsRead(const QSqlQuery& query);
QString quoted(const QString& name);
QString placeholders(int count);
QString createTableSql(const ClassInfo& info);
// The column indices (identifier first; all columns when the list is empty)
// and the connection of one call on `columns` of a class. Fails on a name
// the class does not have.
Status prepare(const ClassInfo& info, const QStringList& columns, const QSqlDatabase& db, QVector<int>* indices,
               QSqlDatabase* conn);
QString columnList(const ClassInfo& info, const QVector<int>& indices);
// Selects the columns of each row that `suffix` (a where clause, an order)
// picks and hands the rows to `row` in order; `indices` tells the column of
// each value of a row.
Status selectRows(const ClassInfo& info, const QStringList& columns, const QString& suffix, const QVariantList& values,
                  const QSqlDatabase& db, QVector<int>* indices, const std::function<void(const QSqlQuery&)>& row);

// Hands `ids` to `part` in runs short enough to bind in one statement, with
// "?,?,…" and the values of each run; stops at the first failure.
Status inIdRuns(const QVector<int>& ids, const std::function<Status(const QString&, const QVariantList&)>& part);

template <class T>
void readRow(const ClassDef<T>& def, const QSqlQuery& query, const QVector<int>& indices, T& obj)
{
    for (int i = 0; i < indices.size(); ++i)
        def.setValue(obj, indices.at(i), query.value(i));
}

} // namespace detail

// Raw SQL with bound values.
Status execute(const QString& sql, const QVariantList& values = {}, const QSqlDatabase& db = QSqlDatabase());

template <class T>
Status createTable(const QSqlDatabase& db = QSqlDatabase())
{
    Status status;
    QSqlDatabase conn = detail::resolve(db, &status);
    if (!status.isOk())
        return status;
    QSqlQuery query(conn);
    return detail::run(query, detail::createTableSql(ClassDef<T>::instance()), {});
}

// Inserts every column but the identifier and writes the key the database
// assigned back into the object.
template <class T>
Status insert(T& obj, const QSqlDatabase& db = QSqlDatabase())
{
    const ClassDef<T>& def = ClassDef<T>::instance();
    Status status;
    QSqlDatabase conn = detail::resolve(db, &status);
    if (!status.isOk())
        return status;

    QStringList names;
    QVariantList values;
    for (int i = 0; i < def.columns().size(); ++i) {
        if (def.columns().at(i).kind == ColumnKind::Id)
            continue;
        names.append(detail::quoted(def.columns().at(i).name));
        values.append(def.value(obj, i));
    }
    const QString sql = names.isEmpty()
        ? QStringLiteral("INSERT INTO %1 DEFAULT VALUES").arg(detail::quoted(def.name()))
        : QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
              .arg(detail::quoted(def.name()), names.join(QLatin1Char(',')), detail::placeholders(names.size()));
    QSqlQuery query(conn);
    status = detail::run(query, sql, values);
    if (status.isOk())
        def.idOf(obj) = query.lastInsertId().toInt();
    return status;
}

// Writes the listed columns of the row with the object's identifier. The
// list is required: an object loaded without its BLOBs, or built from an
// identifier alone, must never write the columns it does not hold.
template <class T>
Status update(const T& obj, const QStringList& columns, const QSqlDatabase& db = QSqlDatabase())
{
    const ClassDef<T>& def = ClassDef<T>::instance();
    if (columns.isEmpty())
        return Status::failed(QStringLiteral("no columns named to update in %1").arg(def.name()));
    QVector<int> indices;
    QSqlDatabase conn;
    Status status = detail::prepare(def, columns, db, &indices, &conn);
    if (!status.isOk())
        return status;

    QStringList assignments;
    QVariantList values;
    for (int index : qAsConst(indices)) {
        if (def.columns().at(index).kind == ColumnKind::Id)
            continue;
        assignments.append(detail::quoted(def.columns().at(index).name) + QStringLiteral("=?"));
        values.append(def.value(obj, index));
    }
    if (assignments.isEmpty())
        return Status::failed(QStringLiteral("nothing to update in %1").arg(def.name()));
    values.append(def.idOf(obj));
    QSqlQuery query(conn);
    status = detail::run(query,
                         QStringLiteral("UPDATE %1 SET %2 WHERE [ID]=?")
                             .arg(detail::quoted(def.name()), assignments.join(QLatin1Char(','))),
                         values);
    if (status.isOk() && query.numRowsAffected() == 0)
        return Status::noSuchRow(def.name());
    return status;
}

// Reads the listed columns (every column when the list is empty) of the row
// with the object's identifier; the other fields keep their values.
template <class T>
Status fetchById(T& obj, const QStringList& columns = {}, const QSqlDatabase& db = QSqlDatabase())
{
    const ClassDef<T>& def = ClassDef<T>::instance();
    QVector<int> indices;
    bool found = false;
    const Status status = detail::selectRows(def, columns, QStringLiteral("WHERE [ID]=?"), {def.idOf(obj)}, db,
                                             &indices, [&](const QSqlQuery& query) {
                                                 detail::readRow(def, query, indices, obj);
                                                 found = true;
                                             });
    return status.isOk() && !found ? Status::noSuchRow(def.name()) : status;
}

// New objects for the rows with the given identifiers, in the order of
// `ids`: all of them or none. One identifier with no row fails the whole
// read, so that nothing is made of the rows that happened to be there.
template <class T>
Status fetchByIds(const QVector<int>& ids, QVector<std::shared_ptr<T>>& out, const QStringList& columns = {},
                  const QSqlDatabase& db = QSqlDatabase())
{
    out.clear();
    const ClassDef<T>& def = ClassDef<T>::instance();
    QHash<int, std::shared_ptr<T>> byId;
    const Status status = detail::inIdRuns(ids, [&](const QString& placeholders, const QVariantList& values) {
        QVector<int> indices;
        return detail::selectRows(def, columns, QStringLiteral("WHERE [ID] IN (%1)").arg(placeholders), values, db,
                                  &indices, [&](const QSqlQuery& query) {
                                      auto obj = std::make_shared<T>();
                                      detail::readRow(def, query, indices, *obj);
                                      byId.insert(def.idOf(*obj), obj);
                                  });
    });
    if (!status.isOk())
        return status;
    for (int id : ids) {
        const std::shared_ptr<T> obj = byId.value(id);
        if (!obj) {
            out.clear();
            return Status::noSuchRow(def.name());
        }
        out.append(obj);
    }
    return Status();
}

// New objects for every row the query selects, in the order the database
// returns them.
template <class T>
Status fetchByQuery(const Query& select, QVector<std::shared_ptr<T>>& out, const QStringList& columns = {},
                    const QSqlDatabase& db = QSqlDatabase())
{
    out.clear();
    const ClassDef<T>& def = ClassDef<T>::instance();
    QVector<int> indices;
    return detail::selectRows(def, columns, select.sql, select.values, db, &indices, [&](const QSqlQuery& query) {
        auto obj = std::make_shared<T>();
        detail::readRow(def, query, indices, *obj);
        out.append(obj);
    });
}

// Fills the one-to-many relation `member` of every parent from the child
// table: the listed columns of each child (all when empty) plus its
// identifier and foreign key, ordered by parent, then by `orderBy`, then by
// identifier. Each child's many-to-one member gets one identifier-only
// object per parent. The children of all parents are appended to
// `children` in parent order when it is given.
template <class P, class C>
Status fetchChildren(const QVector<std::shared_ptr<P>>& parents, QVector<std::shared_ptr<C>> P::*member,
                     const QStringList& columns = {}, const QStringList& orderBy = {},
                     QVector<std::shared_ptr<C>>* children = nullptr, const QSqlDatabase& db = QSqlDatabase())
{
    const ClassDef<P>& parentDef = ClassDef<P>::instance();
    const ClassDef<C>& childDef = ClassDef<C>::instance();
    const RelationInfo* relation = parentDef.relation(member);
    if (!relation)
        return Status::failed(QStringLiteral("no such relation of %1").arg(parentDef.name()));
    const int foreignKey = childDef.columnIndex(relation->foreignKey);
    std::shared_ptr<P> C::*parentMember = childDef.template parentMember<P>(relation->foreignKey);
    if (foreignKey < 0 || !parentMember)
        return Status::failed(QStringLiteral("no column %1 in %2").arg(relation->foreignKey, childDef.name()));

    QVector<int> indices;
    QSqlDatabase conn;
    Status status = detail::prepare(childDef, columns, db, &indices, &conn);
    if (!status.isOk())
        return status;
    QStringList orderNames{detail::quoted(relation->foreignKey)};
    for (const QString& name : orderBy) {
        if (childDef.columnIndex(name) < 0)
            return Status::failed(QStringLiteral("no column %1 in %2").arg(name, childDef.name()));
        orderNames.append(detail::quoted(name));
    }
    orderNames.append(QStringLiteral("[ID]"));
    indices.removeAll(foreignKey);

    QHash<int, std::shared_ptr<P>> byId;
    QHash<int, std::shared_ptr<P>> stubs;
    QVector<int> ids;
    for (const std::shared_ptr<P>& parent : parents) {
        if (!parent)
            continue;
        ((*parent).*member).clear();
        const int id = parentDef.idOf(*parent);
        if (!byId.contains(id))
            ids.append(id);
        byId.insert(id, parent);
        auto stub = std::make_shared<P>();
        parentDef.idOf(*stub) = id;
        stubs.insert(id, stub);
    }

    status = detail::inIdRuns(ids, [&](const QString& placeholders, const QVariantList& values) {
        QSqlQuery query(conn);
        Status read =
            detail::select(query,
                           QStringLiteral("SELECT %1,%2 FROM %3 WHERE %2 IN (%4) ORDER BY %5")
                               .arg(detail::columnList(childDef, indices), detail::quoted(relation->foreignKey),
                                    detail::quoted(childDef.name()), placeholders, orderNames.join(QLatin1Char(','))),
                           values);
        if (!read.isOk())
            return read;
        while (query.next()) {
            const int parentId = query.value(indices.size()).toInt();
            const std::shared_ptr<P> owner = byId.value(parentId);
            // Only a damaged index hands out a row whose key was not asked for.
            if (!owner)
                return Status::failed(
                    QStringLiteral("a row of %1 names %2 %3, which was not asked for")
                        .arg(childDef.name(), parentDef.name(), query.value(indices.size()).toString()));
            auto child = std::make_shared<C>();
            detail::readRow(childDef, query, indices, *child);
            (*child).*parentMember = stubs.value(parentId);
            ((*owner).*member).append(child);
        }
        return detail::rowsRead(query);
    });
    if (!status.isOk())
        return status;
    if (children) {
        for (const std::shared_ptr<P>& parent : parents) {
            if (parent)
                *children += (*parent).*member;
        }
    }
    return status;
}

// Every column name of T but the listed ones, in registration order.
template <class T>
QStringList columnsExcept(const QStringList& left)
{
    QStringList names;
    for (const ColumnInfo& column : ClassDef<T>::instance().columns()) {
        if (!left.contains(column.name))
            names.append(column.name);
    }
    return names;
}

} // namespace orm
