#include "orm/Status.h"

namespace orm {

Status Status::noSuchRow(const QString& table)
{
    Status s;
    s.m_kind = NoSuchRow;
    s.m_error = QSqlError(QStringLiteral("no such row in %1").arg(table), QString(), QSqlError::StatementError);
    return s;
}

Status Status::failed(const QSqlError& error)
{
    Status s;
    s.m_kind = Failed;
    s.m_error = error.type() == QSqlError::NoError
        ? QSqlError(QStringLiteral("unknown database error"), QString(), QSqlError::UnknownError)
        : error;
    return s;
}

Status Status::failed(const QString& text)
{
    return failed(QSqlError(text, QString(), QSqlError::StatementError));
}

} // namespace orm
