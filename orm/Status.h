#pragma once

#include <QSqlError>
#include <QString>

namespace orm {

// Outcome of one mapper call. A missing row is not an error of the database:
// opening a project treats a missing project row as a new file. A caller
// that goes on after a failure says so in a log line.
class [[nodiscard]] Status
{
public:
    enum Kind { Ok, NoSuchRow, Failed };

    Status() = default;
    static Status noSuchRow(const QString& table);
    static Status failed(const QSqlError& error);
    static Status failed(const QString& text);

    Kind kind() const { return m_kind; }
    bool isOk() const { return m_kind == Ok; }
    bool isNoSuchRow() const { return m_kind == NoSuchRow; }
    bool isFailed() const { return m_kind == Failed; }
    // Empty when the call succeeded; carries the driver's texts otherwise.
    const QSqlError& error() const { return m_error; }

private:
    Kind m_kind = Ok;
    QSqlError m_error;
};

} // namespace orm
