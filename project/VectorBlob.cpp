#include "project/VectorBlob.h"

#include <QtEndian>

// A full-waveform record holds 125 000 values per curve; element by element
// through QtEndian is several times faster than a QDataStream.

QByteArray vectorToBlob(const QVector<double>& values)
{
    QByteArray blob(values.size() * 8, Qt::Uninitialized);
    char* out = blob.data();
    for (double v : values) {
        qToBigEndian(v, out);
        out += 8;
    }
    return blob;
}

QVector<double> bytesToVector(const QByteArray& blob)
{
    QVector<double> values(blob.size() / 8);
    const char* in = blob.constData();
    for (double& v : values) {
        v = qFromBigEndian<double>(in);
        in += 8;
    }
    return values;
}
