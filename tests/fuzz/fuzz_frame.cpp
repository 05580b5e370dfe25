// A received byte stream cut into frames the way the link does it, once as
// one read and once in the chunks the input chooses: both must give the same
// frames, and every frame handed on must be whole and pass its checks.

#include "devlink/ComBuffer_Array.h"
#include "devlink/FrameCodec.h"

#include "FuzzReader.h"

#include <QtEndian>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <vector>

namespace {

void CheckFrame(const QByteArray& frame)
{
    Require(frame.size() >= FrameHeaderSize);
    const char* p = frame.constData();
    Require(uchar(p[0]) == 0xAA && uchar(p[1]) == 0x55);
    const quint32 length = qFromLittleEndian<quint32>(p + 12);
    Require(length <= FramePayloadLimit && qint64(frame.size()) == FrameHeaderSize + qint64(length));
    Require(qFromLittleEndian<quint32>(p + 20) == CalcDataCheck(length, p + FrameHeaderSize));
    const std::unique_ptr<QByteArray> payload(GetFramePayload(frame));
    Require(payload->size() == int(length));
}

// What ComDevice::ProcessReceived and Communication::OnReceived do with each
// read: cut frames until one call consumes nothing.
void Drain(ComBuffer_Array& buffer, std::vector<QByteArray>& frames)
{
    while (buffer.Size() > 0) {
        QByteArray frame;
        quint32 consumed = 0;
        if (ParseFrame(*buffer.Data(), frame, consumed)) {
            CheckFrame(frame);
            frames.push_back(frame);
        } else {
            Require(frame.isEmpty());
        }
        buffer.Remove(int(consumed));
        if (consumed == 0)
            break;
    }
}

} // namespace

// Input: one byte n, n chunk lengths (one byte each, 0 taken as 1, used in
// turn), then the stream.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    const size_t lengthCount = std::min<size_t>(data[0] % 16, size - 1);
    const uint8_t* lengths = data + 1;
    const QByteArray stream(reinterpret_cast<const char*>(data + 1 + lengthCount), int(size - 1 - lengthCount));

    std::vector<QByteArray> whole;
    {
        ComBuffer_Array buffer;
        buffer.Append(stream);
        Drain(buffer, whole);
    }

    std::vector<QByteArray> chunked;
    {
        ComBuffer_Array buffer;
        int at = 0;
        for (size_t i = 0; at < stream.size(); ++i) {
            const int length = lengthCount ? std::max<int>(1, lengths[i % lengthCount]) : stream.size();
            buffer.Append(stream.mid(at, length));
            at += length;
            Drain(buffer, chunked);
        }
    }

    Require(whole == chunked);
    return 0;
}
