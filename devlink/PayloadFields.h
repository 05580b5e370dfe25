#pragma once

#include <QByteArray>
#include <QtEndian>
#include <QtGlobal>

#include <array>
#include <cstddef>
#include <type_traits>

// Little-endian fields of unit payloads, written and read one by one so that
// the wire layout never depends on how the compiler lays out a struct. Each
// layout is written once, as a generic function over the fields in wire order
// (io.Field(...), io.Skip(n)), and serves both sides of the link: the system
// writes what a unit reads and reads what a unit writes.

class PayloadWriter
{
public:
    template <typename T, typename = std::enable_if_t<std::is_arithmetic<T>::value>>
    void Field(T value)
    {
        std::array<char, sizeof(T)> bytes;
        qToLittleEndian<T>(value, bytes.data());
        out.append(bytes.data(), int(bytes.size()));
    }
    template <std::size_t N>
    void Field(const std::array<quint8, N>& bytes)
    {
        out.append(reinterpret_cast<const char*>(bytes.data()), int(N));
    }
    // Reserved bytes go out as zeros.
    void Skip(int count);
    QByteArray Payload() const;

private:
    QByteArray out;
};

// Never reads past the payload: bytes beyond its end count as zero, as the
// units' short replies require. The payload must outlive the reader.
class PayloadReader
{
public:
    explicit PayloadReader(const QByteArray& payload, int offset = 0);

    template <typename T, typename = std::enable_if_t<std::is_arithmetic<T>::value>>
    void Field(T& value)
    {
        std::array<quint8, sizeof(T)> bytes;
        Take(bytes.data(), int(bytes.size()));
        value = qFromLittleEndian<T>(bytes.data());
    }
    template <std::size_t N>
    void Field(std::array<quint8, N>& bytes)
    {
        Take(bytes.data(), int(N));
    }
    template <typename T>
    T Next()
    {
        T value;
        Field(value);
        return value;
    }
    void Skip(int count);

private:
    void Take(quint8* bytes, int count);

    const QByteArray& in;
    qint64 at;
};

template <typename Record, typename Layout>
QByteArray WritePayload(const Record& record, Layout layout)
{
    PayloadWriter writer;
    layout(writer, record);
    return writer.Payload();
}

template <typename Record, typename Layout>
Record ReadPayload(const QByteArray& payload, Layout layout, int offset = 0)
{
    Record record;
    PayloadReader reader(payload, offset);
    layout(reader, record);
    return record;
}

// First four payload bytes of a reply; missing bytes count as zero.
quint32 ReadReplyStatus(const QByteArray& payload);
