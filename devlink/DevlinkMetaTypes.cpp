#include "devlink/DevlinkMetaTypes.h"

#include "devlink/RecvRecords.h"
#include "devlink/SendRecords.h"

#include <QMetaType>

void RegisterDevlinkMetaTypes()
{
    static const bool registered = [] {
        qRegisterMetaType<st_RecvParam>("st_RecvParam");
        qRegisterMetaType<st_ConfigAutoTimeChannel_VRX2208>("st_ConfigAutoTimeChannel_VRX2208");
        qRegisterMetaType<st_TimeGate>("st_TimeGate");
        qRegisterMetaType<st_RecvData_VRX2208>("st_RecvData_VRX2208");
        qRegisterMetaType<st_TEMSendInfo>("st_TEMSendInfo");
        qRegisterMetaType<st_TEMSendData>("st_TEMSendData");
        qRegisterMetaType<st_TEMSendMonitor>("st_TEMSendMonitor");
        qRegisterMetaType<st_DeviceInfo>("st_DeviceInfo");
        return true;
    }();
    Q_UNUSED(registered)
}
