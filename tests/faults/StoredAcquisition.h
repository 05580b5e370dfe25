#pragma once

#include "acquisition/ZOLVA_Data.h"

// Acquisition `number` of `repeats` records with `values` gates each, its
// curves unlike those of other numbers: a stored point of `repeats` samples
// with 8 x values receiver bytes and 8 x SendWaveSize transmitter bytes.
struct StoredAcquisition
{
    static constexpr int SendWaveSize = 64;

    static ZOLVA_Data make(int number, int repeats, int values, quint8 continueMode = 0)
    {
        ZOLVA_Data d;
        d.ContinueMode = continueMode;
        d.ParamFs = 6.25f;
        d.ParamPeriod = 128;
        d.ParamRepeat = repeats;
        for (int i = 0; i < repeats; ++i) {
            st_TEMSendData send;
            send.SendFs = 6.25;
            send.SampleSendFs = 1e5;
            send.SendWave = QVector<double>(SendWaveSize, 10.0 + number);
            send.SampleOffFs = 2e6;
            send.OffWave = QVector<double>(16, 1.0);
            d.sends.append(send);
            st_RecvData_VRX2208 recv;
            recv.TYPE = 1;
            recv.SendFs = 6.25;
            recv.RecvFs = 625000.0;
            for (int g = 0; g < values; ++g) {
                recv.times.append(100.0 + 10.0 * g);
                recv.widths.append(10.0);
                recv.values.append(1e-3 * (number + 1) / (g + 1) + 1e-9 * i);
            }
            recv.StartTime = Q_INT64_C(1700000000000) + 1000 * number + i;
            d.recvs.append(recv);
        }
        return d;
    }
};
