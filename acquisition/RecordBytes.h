#pragma once

#include "acquisition/ZOLVA_Data.h"

#include <QtGlobal>

// What records held in memory weigh, so that what waits (for a start reply,
// for a held project file) is bounded in bytes: a gated record is a few kB,
// a full-waveform one over a MB.
namespace RecordBytes {

qint64 of(const st_TEMSendData& send);
qint64 of(const st_RecvData_VRX2208& recv);
qint64 of(const ZOLVA_Data& data);

}
