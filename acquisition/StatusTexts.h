#pragma once

#include <QString>

// The link status texts, rich text for the status panel's label.
namespace StatusTexts {

QString disconnected();
QString initialising();
QString invalidAddress();
QString retrying();
QString online();
// An acquisition refused, by a unit or for its parameters, or ended by a
// unit that gave no reply or whose link was lost.
QString channelsRefused();
QString paramsRefused();
QString recvParamsRefused();
QString sendParamsRefused();
QString startRefused();
QString recvSilent();
QString sendSilent();
QString recvLost();
QString sendLost();
// Either text, or one naming both units.
QString linksLost(bool send, bool recv);

// Stands for the link text while a stop is owed to a unit: awaited, or
// refused or left unanswered (doubted); empty for none.
QString stopsOwed(bool sendOwed, bool sendDoubted, bool recvOwed, bool recvDoubted);

// 发 (transmitter) and 收 (receiver) in green when their link is up, else red.
QString connecting(bool sendLinked, bool recvLinked);
QString linkUpdate(bool sendLinked, bool recvLinked);

// Online text with the Wi-Fi quality 0 to 100; negative: no Wi-Fi to show.
QString wifi(int quality);

// Stands for the link text while a towed unit sends no records and the
// other goes on; empty for neither.
QString unitSilent(bool transmitter, bool receiver);

// Follows the link text while towed records were dropped without their
// partner; empty for none.
QString unpairedDropped(int count);

}
