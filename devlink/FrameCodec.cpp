#include "devlink/FrameCodec.h"

#include <QtEndian>

#include <cstring>

std::atomic<quint32> frameSequence{0};

namespace {

constexpr quint16 FrameMarker = 0x8000;
constexpr uchar SyncFirst = 0xAA;
constexpr uchar SyncSecond = 0x55;

constexpr int OffsetMarker = 2;
constexpr int OffsetCommand = 4;
constexpr int OffsetType = 6;
constexpr int OffsetSequence = 8;
constexpr int OffsetLength = 12;
constexpr int OffsetHeadCheck = 16;
constexpr int OffsetDataCheck = 20;
constexpr int OffsetReserved = 24;

template <typename T>
T ReadField(const char* frame, int offset)
{
    return qFromLittleEndian<T>(frame + offset);
}

template <typename T>
void WriteField(char* frame, int offset, T value)
{
    qToLittleEndian<T>(value, frame + offset);
}

quint32 HeadCheckOf(const char* header)
{
    return quint32(ReadField<quint16>(header, OffsetCommand)) + quint32(ReadField<quint16>(header, OffsetType))
        + ReadField<quint32>(header, OffsetSequence) + ReadField<quint32>(header, OffsetLength);
}

// Index of the first AA 55 pair, or -1.
int FindSync(const QByteArray& buffer)
{
    const char* begin = buffer.constData();
    const char* end = begin + buffer.size();
    const char* p = begin;
    while (p + 1 < end) {
        p = static_cast<const char*>(std::memchr(p, SyncFirst, size_t(end - p - 1)));
        if (!p)
            return -1;
        if (uchar(p[1]) == SyncSecond)
            return int(p - begin);
        ++p;
    }
    return -1;
}

} // namespace

QByteArray* BuildFrame(quint32 command, const QByteArray& payload, quint16 type)
{
    char header[FrameHeaderSize] = {};
    const quint32 sequence = frameSequence.fetch_add(1);
    const quint32 length = quint32(payload.size());
    header[0] = char(SyncFirst);
    header[1] = char(SyncSecond);
    WriteField<quint16>(header, OffsetMarker, FrameMarker);
    WriteField<quint16>(header, OffsetCommand, quint16(command));
    WriteField<quint16>(header, OffsetType, type);
    WriteField<quint32>(header, OffsetSequence, sequence);
    WriteField<quint32>(header, OffsetLength, length);
    WriteField<quint32>(header, OffsetHeadCheck, HeadCheckOf(header));
    WriteField<quint32>(header, OffsetDataCheck, CalcDataCheck(length, payload.constData()));
    WriteField<quint32>(header, OffsetReserved, 0);

    auto* frame = new QByteArray;
    frame->reserve(FrameHeaderSize + payload.size());
    frame->append(header, FrameHeaderSize);
    frame->append(payload);
    return frame;
}

quint16 GetFrameType(const QByteArray& frame)
{
    return ReadField<quint16>(frame.constData(), OffsetType);
}

quint16 GetFrameCommand(const QByteArray& frame)
{
    return ReadField<quint16>(frame.constData(), OffsetCommand);
}

QByteArray* GetFramePayload(const QByteArray& frame)
{
    const quint32 length = ReadField<quint32>(frame.constData(), OffsetLength);
    return new QByteArray(frame.constData() + FrameHeaderSize, int(length));
}

quint32 CalcDataCheck(quint32 length, const char* bytes)
{
    // Two words at a time: the low and high halves of a little-endian u64
    // are consecutive little-endian u32 words.
    quint64 wide = 0;
    quint32 i = 0;
    for (; i + 8 <= length; i += 8)
        wide ^= qFromLittleEndian<quint64>(bytes + i);
    quint32 check = quint32(wide) ^ quint32(wide >> 32);
    if (i + 4 <= length) {
        check ^= qFromLittleEndian<quint32>(bytes + i);
        i += 4;
    }
    quint32 tail = 0;
    for (quint32 shift = 0; i < length; ++i, shift += 8)
        tail |= quint32(uchar(bytes[i])) << shift;
    return check ^ tail;
}

bool ParseFrame(const QByteArray& buffer, QByteArray& frame, quint32& consumed)
{
    frame.clear();
    consumed = 0;

    const int sync = FindSync(buffer);
    if (sync < 0) {
        // A trailing AA may be the first half of a sync pattern split by TCP.
        const bool keepLast = !buffer.isEmpty() && uchar(buffer.at(buffer.size() - 1)) == SyncFirst;
        consumed = quint32(buffer.size() - (keepLast ? 1 : 0));
        return false;
    }
    const char* p = buffer.constData() + sync;
    const qint64 available = buffer.size() - sync;
    consumed = quint32(sync);
    if (available < FrameHeaderSize)
        return false;

    const quint32 length = ReadField<quint32>(p, OffsetLength);
    if (ReadField<quint16>(p, OffsetMarker) != FrameMarker || ReadField<quint32>(p, OffsetHeadCheck) != HeadCheckOf(p)
        || length > FramePayloadLimit) {
        consumed += 2;
        return false;
    }
    const qint64 frameSize = qint64(FrameHeaderSize) + length;
    if (available < frameSize)
        return false;
    if (ReadField<quint32>(p, OffsetDataCheck) != CalcDataCheck(length, p + FrameHeaderSize)) {
        consumed += 2;
        return false;
    }
    // A deep copy: the buffer may be a window onto memory that changes later.
    frame = QByteArray(p, int(frameSize));
    consumed += quint32(frameSize);
    return true;
}
