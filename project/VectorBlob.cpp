#include "project/VectorBlob.h"

#include <QDataStream>

QByteArray vectorToBlob(const QVector<double>& values)
{
    QByteArray blob;
    blob.reserve(values.size() * 8);
    QDataStream out(&blob, QIODevice::WriteOnly);
    out.setByteOrder(QDataStream::BigEndian);
    out.setFloatingPointPrecision(QDataStream::DoublePrecision);
    for (double v : values)
        out << v;
    return blob;
}

QVector<double> bytesToVector(const QByteArray& blob)
{
    const int count = blob.size() / 8;
    QVector<double> values;
    values.reserve(count);
    QDataStream in(blob);
    in.setByteOrder(QDataStream::BigEndian);
    in.setFloatingPointPrecision(QDataStream::DoublePrecision);
    for (int i = 0; i < count; ++i) {
        double v = 0.0;
        in >> v;
        values.append(v);
    }
    return values;
}
