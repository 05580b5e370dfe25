#include "project/LineSnapshot.h"

#include "project/Data_Line.h"
#include "project/Data_Point.h"
#include "project/PointRows.h"

#include <QtDebug>

namespace {

QVector<QVector<double>> transposed(const QVector<QVector<double>>& rows)
{
    const int m = rows.isEmpty() ? 0 : rows.first().size();
    QVector<QVector<double>> columns(m, QVector<double>(rows.size()));
    for (int j = 0; j < rows.size(); ++j) {
        for (int k = 0; k < m; ++k)
            columns[k][j] = rows.at(j).at(k);
    }
    return columns;
}

} // namespace

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
        points.append(Point{p->ID, p->NAME, i, PointRows::usedSamples(*p)});
    }
}

void LineSnapshot::GetRecvData(QVector<QVector<double>>* datas, QVector<double>* times, QVector<double>* names,
                               bool transpose, bool divideByCurrent) const
{
    if (!datas || !times || !names)
        return;
    LineProfile rows;
    if (!pointRows(&rows, divideByCurrent, nullptr, nullptr))
        return;
    *datas = transpose ? transposed(rows.matrix) : rows.matrix;
    *times = rows.times;
    *names = rows.names;
}

LineProfile LineSnapshot::profile(bool divideByCurrent, const std::atomic_bool* cancelled, const PointRows* known) const
{
    LineProfile profile;
    if (!pointRows(&profile, divideByCurrent, cancelled, known)) {
        LineProfile empty;
        empty.read = profile.read;
        return empty;
    }
    profile.matrix = transposed(profile.matrix);
    return profile;
}

bool LineSnapshot::pointRows(LineProfile* rows, bool divideByCurrent, const std::atomic_bool* cancelled,
                             const PointRows* known) const
{
    for (const Point& point : points) {
        if (cancelled && cancelled->load())
            return false;
        PointRows read;
        const PointRows* samples = &read;
        if (known && known->pointId == point.id) {
            samples = known;
        } else {
            rows->read = PointRows::read(point.id, point.usedSamples, PointRows::curveColumns(), &read);
            if (!rows->read.isOk()) {
                qWarning() << "LineSnapshot: profile left, point" << point.id
                           << "not read:" << rows->read.error().text();
                return false;
            }
        }
        // Kept points are soundings, whatever their type was.
        QVector<double> values;
        QVector<double> t;
        samples->meanCurve(0, divideByCurrent, &values, &t);
        if (values.isEmpty() || t.isEmpty())
            continue;
        if (rows->matrix.isEmpty())
            rows->times = t;
        rows->matrix.append(values);
        rows->names.append(point.name);
        rows->positions.append(point.position);
    }
    if (rows->matrix.isEmpty())
        return false;

    int m = rows->matrix.first().size();
    for (const QVector<double>& row : qAsConst(rows->matrix))
        m = qMin(m, row.size());
    for (QVector<double>& row : rows->matrix)
        row.resize(m);
    // The plot takes one gate time per row; a longer axis would keep it
    // from drawing the profile at all.
    rows->times.resize(qMin(rows->times.size(), m));
    return true;
}
