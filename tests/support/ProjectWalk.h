#pragma once

#include "project/DataModel_Index.h"

#include <QFile>
#include <QProcess>
#include <QTextStream>

// Goes through an open project as an operator would: selects each line,
// point and sample in turn (at most `selections` of them) and runs every
// export into a stream that discards what it gets.
inline void walkProject(DataModel_Index& model, int selections = 200)
{
    for (int i = 0; i < model.topLevelItemCount() && selections > 0; ++i, --selections) {
        model.setIndex(i, -1, -1);
        const QTreeWidgetItem* line = model.topLevelItem(i);
        for (int j = 0; j < line->childCount() && selections > 0; ++j, --selections) {
            model.setIndex(i, j, -1);
            for (int k = 0; k < line->child(j)->childCount() && selections > 0; ++k, --selections)
                model.setIndex(i, j, k);
        }
    }
    QFile sink(QProcess::nullDevice());
    if (!sink.open(QIODevice::WriteOnly))
        return;
    QTextStream out(&sink);
    for (int depth = 0; depth < 3; ++depth)
        model.onExportData(out, 0, depth);
    static_cast<void>(model.onExportData_USF(out));
    model.onExportLog(out);
    model.onExportPointTime(out);
}
