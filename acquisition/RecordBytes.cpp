#include "acquisition/RecordBytes.h"

namespace {

// The array behind a QVector or QList: its header and the elements it holds.
template <class Container>
qint64 arrayBytes(const Container& container)
{
    return qint64(sizeof(QArrayData)) + qint64(container.capacity()) * qint64(sizeof(typename Container::value_type));
}

}

qint64 RecordBytes::of(const st_TEMSendData& send)
{
    return qint64(sizeof send) + arrayBytes(send.SendWave) + arrayBytes(send.OffWave);
}

qint64 RecordBytes::of(const st_RecvData_VRX2208& recv)
{
    return qint64(sizeof recv) + arrayBytes(recv.times) + arrayBytes(recv.widths) + arrayBytes(recv.values);
}

qint64 RecordBytes::of(const ZOLVA_Data& data)
{
    qint64 bytes = qint64(sizeof data);
    // QList holds records this large through a pointer each.
    for (const auto& send : data.sends)
        bytes += qint64(sizeof(void*)) + of(send);
    for (const auto& recv : data.recvs)
        bytes += qint64(sizeof(void*)) + of(recv);
    return bytes;
}
