#pragma once

#include <QString>
#include <QVariantList>

namespace orm {

// SQL text that follows "SELECT <columns> FROM <table>" (a where clause, an
// order), with its values bound to the '?' placeholders in order.
struct Query
{
    QString sql;
    QVariantList values;
};

} // namespace orm
