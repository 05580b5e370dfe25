#include "devlink/PayloadFields.h"

void PayloadWriter::Skip(int count)
{
    if (count > 0)
        out.append(count, '\0');
}

QByteArray PayloadWriter::Payload() const
{
    return out;
}

PayloadReader::PayloadReader(const QByteArray& payload, int offset)
    : in(payload)
    , at(offset)
{
}

void PayloadReader::Skip(int count)
{
    at += count;
}

void PayloadReader::Take(quint8* bytes, int count)
{
    for (int i = 0; i < count; ++i, ++at)
        bytes[i] = (at >= 0 && at < in.size()) ? quint8(in.at(int(at))) : 0;
}

quint32 ReadReplyStatus(const QByteArray& payload)
{
    return PayloadReader(payload).Next<quint32>();
}
