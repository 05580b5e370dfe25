#include "devlink/PayloadFields.h"

#include <QtEndian>

#include <array>

namespace {

template<typename T>
void AppendLittleEndian(QByteArray& out, T value)
{
    std::array<char, sizeof(T)> bytes;
    qToLittleEndian<T>(value, bytes.data());
    out.append(bytes.data(), int(bytes.size()));
}

template<typename T>
T ReadLittleEndianAt(const QByteArray& in, int offset)
{
    std::array<quint8, sizeof(T)> bytes;
    ReadBytesAt(in, offset, int(bytes.size()), bytes.data());
    return qFromLittleEndian<T>(bytes.data());
}

} // namespace

void AppendU32(QByteArray& out, quint32 value) { AppendLittleEndian(out, value); }
void AppendI32(QByteArray& out, qint32 value) { AppendLittleEndian(out, value); }
void AppendI64(QByteArray& out, qint64 value) { AppendLittleEndian(out, value); }
void AppendF32(QByteArray& out, float value) { AppendLittleEndian(out, value); }
void AppendF64(QByteArray& out, double value) { AppendLittleEndian(out, value); }

void AppendZeros(QByteArray& out, int count)
{
    if (count > 0)
        out.append(count, '\0');
}

quint32 ReadU32At(const QByteArray& in, int offset) { return ReadLittleEndianAt<quint32>(in, offset); }
qint32 ReadI32At(const QByteArray& in, int offset) { return ReadLittleEndianAt<qint32>(in, offset); }
qint64 ReadI64At(const QByteArray& in, int offset) { return ReadLittleEndianAt<qint64>(in, offset); }
float ReadF32At(const QByteArray& in, int offset) { return ReadLittleEndianAt<float>(in, offset); }
double ReadF64At(const QByteArray& in, int offset) { return ReadLittleEndianAt<double>(in, offset); }

void ReadBytesAt(const QByteArray& in, int offset, int count, quint8* out)
{
    for (int i = 0; i < count; ++i) {
        const qint64 at = qint64(offset) + i;
        out[i] = (offset >= 0 && at < in.size()) ? quint8(in.at(int(at))) : 0;
    }
}
