// Throughput of the receive path: frames cut with ParseFrame from the
// receive buffer and dropped from its front, as ComDevice and Communication
// do for every read from a unit's socket.

#include "devlink/ComBuffer_Array.h"
#include "devlink/FrameCodec.h"

#include <QElapsedTimer>
#include <QRandomGenerator>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>

namespace {

constexpr qint64 StreamSize = 64ll * 1024 * 1024;
constexpr int LargestFrame = 6 * 1000 * 1000;

struct Stream
{
    QByteArray bytes;
    int frames = 0;
};

void AppendFrame(Stream& stream, int frameSize, QRandomGenerator& random)
{
    QByteArray payload(frameSize - FrameHeaderSize, '\0');
    for (char& b : payload)
        b = char(random.generate());
    const std::unique_ptr<QByteArray> frame(BuildFrame(3, payload, 0));
    stream.bytes.append(*frame);
    ++stream.frames;
}

// Frame sizes spread evenly on a log scale from 28 bytes to 6 MB.
Stream MixedStream(qint64 size)
{
    QRandomGenerator random(7);
    Stream stream;
    while (stream.bytes.size() < size) {
        const double exponent = random.generateDouble() * std::log(double(LargestFrame) / FrameHeaderSize);
        const qint64 wanted = qint64(FrameHeaderSize * std::exp(exponent));
        const qint64 room = size - stream.bytes.size();
        AppendFrame(stream, int(std::max<qint64>(FrameHeaderSize, std::min(wanted, room))), random);
    }
    return stream;
}

// strayBytes: bytes of garbage in front of every frame.
Stream FixedStream(qint64 size, int frameSize, int strayBytes = 0)
{
    QRandomGenerator random(8);
    Stream stream;
    while (stream.bytes.size() + strayBytes + frameSize <= size) {
        stream.bytes.append(QByteArray(strayBytes, '\x13'));
        AppendFrame(stream, frameSize, random);
    }
    return stream;
}

// An upload of uploadSize bytes that fails its data check, its payload laid
// with a false sync pattern every 64 bytes, then 4 KB frames up to size.
Stream CorruptUploadStream(qint64 size, int uploadSize)
{
    QRandomGenerator random(9);
    QByteArray payload(uploadSize - FrameHeaderSize, '\0');
    for (int i = 0; i < payload.size(); ++i)
        payload[i] = i % 64 == 0 ? '\xAA' : i % 64 == 1 ? '\x55' : char(random.generate());
    const std::unique_ptr<QByteArray> upload(BuildFrame(3, payload, 0));
    (*upload)[20] = char((*upload)[20] ^ 0x01);
    Stream stream;
    stream.bytes = *upload;
    while (stream.bytes.size() + 4096 <= size)
        AppendFrame(stream, 4096, random);
    return stream;
}

// Feeds the stream in reads of readSize bytes; returns the frames cut.
int Receive(const QByteArray& stream, int readSize)
{
    ComBuffer_Array buffer;
    int frames = 0;
    for (int at = 0; at < stream.size(); at += readSize) {
        const int n = std::min(readSize, stream.size() - at);
        buffer.Append(QByteArray::fromRawData(stream.constData() + at, n));
        while (buffer.Size() > 0) {
            QByteArray frame;
            quint32 consumed = 0;
            if (ParseFrame(*buffer.Data(), frame, consumed))
                ++frames;
            buffer.Remove(int(consumed));
            if (consumed == 0)
                break;
        }
    }
    return frames;
}

void Measure(const char* name, const Stream& stream, int readSize)
{
    double best = 0.0;
    for (int round = 0; round < 5; ++round) {
        QElapsedTimer timer;
        timer.start();
        const int frames = Receive(stream.bytes, readSize);
        const qint64 ns = std::max<qint64>(1, timer.nsecsElapsed());
        if (frames != stream.frames) {
            std::printf("%s: cut %d frames of %d\n", name, frames, stream.frames);
            return;
        }
        best = std::max(best, double(stream.bytes.size()) * 1e3 / double(ns));
    }
    std::printf("%-36s %6.1f MiB in %6d frames, reads of %9d B: %8.0f MB/s\n", name,
                double(stream.bytes.size()) / (1024.0 * 1024.0), stream.frames, readSize, best);
}

} // namespace

int main()
{
    const Stream mixed = MixedStream(StreamSize);
    const Stream small = FixedStream(StreamSize, 4096);
    const Stream smallQuarter = FixedStream(StreamSize / 4, 4096);
    const Stream stray = FixedStream(StreamSize, 4096, 1);
    const Stream corrupt = CorruptUploadStream(StreamSize, 25 * 1000 * 1000);

    Measure("mixed 28 B to 6 MB", mixed, 64 * 1024);
    Measure("mixed 28 B to 6 MB, one read", mixed, mixed.bytes.size());
    Measure("4 KB frames", small, 64 * 1024);
    Measure("4 KB frames, one read", small, small.bytes.size());
    // Same rate for a quarter of the stream in one read: linear, not quadratic.
    Measure("4 KB frames, quarter, one read", smallQuarter, smallQuarter.bytes.size());
    Measure("4 KB frames, stray byte before each", stray, 64 * 1024);
    Measure("the same, one read", stray, stray.bytes.size());
    Measure("corrupt 25 MB upload, false syncs", corrupt, 64 * 1024);
    Measure("the same, one read", corrupt, corrupt.bytes.size());
    return 0;
}
