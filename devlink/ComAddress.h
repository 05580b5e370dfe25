#pragma once

#include <QString>
#include <QtGlobal>

// Where one field unit listens.
struct st_ComAddress
{
    QString ip;
    quint16 port = 0;
};
