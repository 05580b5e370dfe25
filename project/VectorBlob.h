#pragma once

#include <QByteArray>
#include <QVector>

// Stored curves and waveforms: each element as a big-endian IEEE 754 double,
// one after the other, with no header (a vector of n elements is 8 n bytes).
QByteArray vectorToBlob(const QVector<double>& values);
// A trailing group of fewer than 8 bytes is dropped.
QVector<double> bytesToVector(const QByteArray& blob);
