#pragma once

#include <QByteArray>
#include <QtGlobal>

// Little-endian fields of unit payloads, written and read one by one so that
// the wire layout never depends on how the compiler lays out a struct.
// Readers never read past the payload: bytes beyond its end count as zero,
// as the units' short replies require.

void AppendU32(QByteArray& out, quint32 value);
void AppendI32(QByteArray& out, qint32 value);
void AppendI64(QByteArray& out, qint64 value);
void AppendF32(QByteArray& out, float value);
void AppendF64(QByteArray& out, double value);
void AppendZeros(QByteArray& out, int count);

quint32 ReadU32At(const QByteArray& in, int offset);
qint32 ReadI32At(const QByteArray& in, int offset);
qint64 ReadI64At(const QByteArray& in, int offset);
float ReadF32At(const QByteArray& in, int offset);
double ReadF64At(const QByteArray& in, int offset);

// Copies count bytes from offset into out, zero where the payload ends early.
void ReadBytesAt(const QByteArray& in, int offset, int count, quint8* out);
