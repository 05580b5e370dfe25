#pragma once

#include <QByteArray>
#include <QtGlobal>

#include <atomic>

// Every message to and from a field unit is one frame: a 28-byte header
// (sync AA 55, marker 0x8000, command, type, sequence, payload length, head
// check, data check, reserved) followed by the payload, all little-endian.

constexpr int FrameHeaderSize = 28;

// Frame types.
constexpr quint16 FrameTypeRequest = 0; // request from us, or report from a unit
constexpr quint16 FrameTypeReply = 1;

// A header announcing more than this is taken for a false sync pattern. Ten
// times the largest upload a unit sends (a 0.1 Hz period at 625000 Hz as
// 4-byte floats is 25 MB), so no real frame is ever cut.
constexpr quint32 FramePayloadLimit = 256u * 1024u * 1024u;

// Shared by the links to both units; each frame built takes the current value.
extern std::atomic<quint32> frameSequence;

// New heap-allocated frame of 28 + payload bytes; the caller owns it. Only
// the low 16 bits of command go on the wire.
QByteArray* BuildFrame(quint32 command, const QByteArray& payload, quint16 type);

quint16 GetFrameType(const QByteArray& frame);
quint16 GetFrameCommand(const QByteArray& frame);

// New heap-allocated copy of the payload; the caller deletes it.
QByteArray* GetFramePayload(const QByteArray& frame);

// XOR of the bytes as little-endian u32 words, a short tail zero-padded.
quint32 CalcDataCheck(quint32 length, const char* bytes);

// Cuts at most one frame from the start of buffer, which it leaves as it is.
// consumed tells how many bytes the caller must remove from its front: any
// bytes in front of the first sync pattern, plus the frame, or plus 2 for a
// false sync pattern; everything when no sync pattern can follow; 0 while a
// frame at the front is incomplete. True when frame holds a complete frame
// whose checks pass. Leading garbage goes through the caller's own front
// removal, so a stray byte before each frame costs nothing extra.
bool ParseFrame(const QByteArray& buffer, QByteArray& frame, quint32& consumed);
