#include "project/LineSnapshot.h"

#include "project/Data_Line.h"
#include "project/Data_Point.h"
#include "project/Data_Sample.h"

LineSnapshot::LineSnapshot(Data_Line& line, int from, int to)
{
    const int n = line.list_Data_Point.size();
    if (n == 0)
        return;
    const int lo = qBound(0, from, n - 1);
    const int hi = qMax(lo, qMin(to, n - 1));
    for (int i = lo; i <= hi; ++i) {
        Data_Point* p = line.list_Data_Point.at(i).get();
        if (!p || p->USE == 0)
            continue;
        // Self-check and type 2 points have no place on a profile.
        if (p->checkedType() != 0)
            continue;
        Point point{p->ID, p->NAME, {}};
        for (const std::shared_ptr<Data_Sample>& s : qAsConst(p->list_Data_Sample)) {
            if (s && s->USE != 0)
                point.usedSamples.append(s->ID);
        }
        points.append(point);
    }
}

void LineSnapshot::GetRecvData(QVector<QVector<double>>* datas, QVector<double>* times, QVector<double>* names,
                               bool transpose, bool divideByCurrent) const
{
    if (!datas || !times || !names)
        return;
    QVector<QVector<double>> rows;
    QVector<double> axis;
    QVector<double> numbers;
    for (const Point& point : points) {
        // A point of its own, so the sample rows it fetches stay on this
        // thread and are dropped with it.
        Data_Point p(point.id);
        p.NAME = point.name;
        p.USE = 1;
        for (int id : point.usedSamples) {
            p.list_Data_Sample.append(std::make_shared<Data_Sample>(id));
            p.list_Data_Sample.last()->USE = 1;
        }
        QVector<double> values;
        QVector<double> t;
        p.GetRecvData(&values, &t, divideByCurrent);
        if (values.isEmpty() || t.isEmpty())
            continue;
        if (rows.isEmpty())
            axis = t;
        rows.append(values);
        numbers.append(point.name);
    }
    if (rows.isEmpty())
        return;

    int m = rows.first().size();
    for (const QVector<double>& row : qAsConst(rows))
        m = qMin(m, row.size());
    for (QVector<double>& row : rows)
        row.resize(m);
    // The plot takes one gate time per row; a longer axis would keep it
    // from drawing the profile at all.
    axis.resize(qMin(axis.size(), m));

    if (transpose) {
        QVector<QVector<double>> columns(m, QVector<double>(rows.size()));
        for (int j = 0; j < rows.size(); ++j) {
            for (int k = 0; k < m; ++k)
                columns[k][j] = rows.at(j).at(k);
        }
        rows = columns;
    }
    *datas = rows;
    *times = axis;
    *names = numbers;
}
