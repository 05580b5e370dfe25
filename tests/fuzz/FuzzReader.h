#pragma once

#include <QByteArray>
#include <QtEndian>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>

// Reads a fuzz input front to back as little-endian fields, so seeds can be
// written by hand; bytes past the end read as zero.
class FuzzReader
{
public:
    FuzzReader(const uint8_t* data, size_t size)
        : begin(reinterpret_cast<const char*>(data))
        , left(size)
    {
    }

    template <typename T>
    T Take()
    {
        char bytes[sizeof(T)] = {};
        Copy(bytes, sizeof(T));
        return qFromLittleEndian<T>(bytes);
    }

    QByteArray TakeBytes(size_t count)
    {
        QByteArray bytes(int(std::min(count, left)), Qt::Uninitialized);
        Copy(bytes.data(), size_t(bytes.size()));
        return bytes;
    }

    bool AtEnd() const { return left == 0; }

private:
    void Copy(char* out, size_t count)
    {
        const size_t n = std::min(count, left);
        if (n == 0)
            return;
        std::memcpy(out, begin, n);
        begin += n;
        left -= n;
    }

    const char* begin;
    size_t left;
};

// A broken invariant ends the run the way a sanitizer report does.
inline void Require(bool condition)
{
    if (!condition)
        std::abort();
}
