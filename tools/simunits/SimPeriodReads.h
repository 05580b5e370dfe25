#pragma once

#include "devlink/RecvRecords.h"
#include "devlink/SendRecords.h"

#include <QMap>

// Where the records of one towed link were read, by the period number that
// the simulated units tag them with (SimFieldUnit::SetPeriodTags): what a
// check of the stored pairs needs to tell which reads held records back.
class SimPeriodReads
{
public:
    // The period a tagged record carries as its first sample.
    static int Tag(const st_TEMSendData& record);
    static int Tag(const st_RecvData_VRX2208& record);

    template <class Record>
    void Note(const Record& record)
    {
        reads.insert(Tag(record), record.ArrivalMs);
    }

    bool Contains(int period) const;
    // -1 for a period not read.
    qint64 Stamp(int period) const;
    int Count() const;
    // Read in one read with the record of the neighbouring period read.
    bool HeldBack(int period) const;
    // The earliest a record came against a line of periodMs a period:
    // the least stamp less period x periodMs.
    double Line(double periodMs) const;

private:
    QMap<int, qint64> reads;
};
