#include "devlink/FrameCodec.h"

#include <QRandomGenerator>
#include <QtTest>

#include <memory>

namespace {

QByteArray Bytes(std::initializer_list<int> values)
{
    QByteArray bytes;
    for (int v : values)
        bytes.append(char(v));
    return bytes;
}

QByteArray Build(quint32 sequence, quint32 command, const QByteArray& payload, quint16 type = 0)
{
    frameSequence = sequence;
    return *std::unique_ptr<QByteArray>(BuildFrame(command, payload, type));
}

// Cuts frames the way the transport does: one ParseFrame per pass, then the
// consumed bytes go from the front, until nothing more can be cut.
QList<QByteArray> Drain(QByteArray& buffer)
{
    QList<QByteArray> frames;
    while (!buffer.isEmpty()) {
        QByteArray frame;
        quint32 consumed = 0;
        const bool ok = ParseFrame(buffer, frame, consumed);
        buffer.remove(0, int(consumed));
        if (ok)
            frames.append(frame);
        if (consumed == 0)
            break;
    }
    return frames;
}

// A header of command 9 whose checks pass, announcing length bytes.
QByteArray Header(quint32 length)
{
    QByteArray header = Bytes({0xAA, 0x55, 0x00, 0x80, 0x09, 0x00, 0x00, 0x00});
    for (quint32 v : {quint32(7), length, 16 + length, quint32(0x12345678), quint32(0)}) {
        char word[4];
        qToLittleEndian(v, word);
        header.append(word, 4);
    }
    return header;
}

} // namespace

class TestFrameCodec : public QObject
{
    Q_OBJECT

private slots:
    void buildsFramesByteForByte();
    void dataCheckMatchesWordByWordXor();
    void parseResynchronises_data();
    void parseResynchronises();
    void streamInPiecesYieldsSameFrames_data();
    void streamInPiecesYieldsSameFrames();
};

void TestFrameCodec::buildsFramesByteForByte()
{
    QCOMPARE(Build(0, 3, QByteArray()).toHex(' '), QByteArray("aa 55 00 80 03 00 00 00 00 00 00 00 00 00 00 00 "
                                                               "03 00 00 00 00 00 00 00 00 00 00 00"));
    // DataCheck of b0..b4 = (b0 | b1<<8 | b2<<16 | b3<<24) ^ b4.
    QCOMPARE(Build(0x11223344, 0x0102, Bytes({1, 2, 3, 4, 5})).toHex(' '),
             QByteArray("aa 55 00 80 02 01 00 00 44 33 22 11 05 00 00 00 4b 34 22 11 04 02 03 04 00 00 00 00 01 02 03 04 05"));
    // Only the low 16 bits of the command go on the wire and into HeadCheck.
    const QByteArray reply = Build(5, 0x103E9, Bytes({0xF0, 0xE0, 0xD0}), 1);
    QCOMPARE(reply.toHex(' '), QByteArray("aa 55 00 80 e9 03 01 00 05 00 00 00 03 00 00 00 f2 03 00 00 f0 e0 d0 00 "
                                          "00 00 00 00 f0 e0 d0"));
    QCOMPARE(GetFrameType(reply), quint16(1));
    QCOMPARE(GetFrameCommand(reply), quint16(1001));
    QCOMPARE(*std::unique_ptr<QByteArray>(GetFramePayload(reply)), Bytes({0xF0, 0xE0, 0xD0}));

    // One counter for all frames, wrapping; HeadCheck sums modulo 2^32.
    QCOMPARE(Build(0xFFFFFFFF, 1, QByteArray()).mid(8, 12).toHex(' '), QByteArray("ff ff ff ff 00 00 00 00 00 00 00 00"));
    QCOMPARE(std::unique_ptr<QByteArray>(BuildFrame(1, QByteArray(), 0))->mid(8, 12).toHex(' '),
             QByteArray("00 00 00 00 00 00 00 00 01 00 00 00"));
}

void TestFrameCodec::dataCheckMatchesWordByWordXor()
{
    QRandomGenerator random(11);
    for (int length = 0; length <= 19; ++length) {
        QByteArray bytes(length, '\0');
        for (char& b : bytes)
            b = char(random.bounded(256));
        quint32 expected = 0;
        for (int i = 0; i < length; ++i)
            expected ^= quint32(uchar(bytes[i])) << (8 * (i % 4));
        QCOMPARE(CalcDataCheck(quint32(length), bytes.constData()), expected);
    }
}

void TestFrameCodec::parseResynchronises_data()
{
    QTest::addColumn<QByteArray>("buffer");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<quint32>("consumed");
    QTest::addColumn<QByteArray>("bufferAfter");

    const QByteArray valid = Build(40, 6, Bytes({9, 8, 7, 6, 5, 4}));
    const QByteArray empty = Build(41, 2, QByteArray());
    QByteArray alteredPayload = valid;
    alteredPayload[30] = char(alteredPayload[30] ^ 0x10);
    QByteArray alteredHead = valid;
    alteredHead[16] = char(alteredHead[16] + 1);
    const QByteArray badMarker = Bytes({0xAA, 0x55, 0xFF, 0xFF}) + empty.mid(4);

    QTest::newRow("empty payload") << empty << true << quint32(28) << empty;
    QTest::newRow("two stray bytes first") << Bytes({1, 2}) + valid << true << quint32(valid.size()) << valid;
    QTest::newRow("stray AA bytes first") << Bytes({0xAA, 0, 0xAA}) + valid << true << quint32(valid.size()) << valid;
    QTest::newRow("27 bytes wait") << empty.left(27) << false << quint32(0) << empty.left(27);
    QTest::newRow("payload incomplete") << valid.left(30) << false << quint32(0) << valid.left(30);
    QTest::newRow("wrong marker") << badMarker << false << quint32(2) << badMarker;
    QTest::newRow("payload altered") << alteredPayload << false << quint32(2) << alteredPayload;
    QTest::newRow("head check altered") << alteredHead << false << quint32(2) << alteredHead;
    QTest::newRow("no sync at all") << Bytes({0x55, 0xAA, 0, 0x13}) << false << quint32(4) << Bytes({0x55, 0xAA, 0, 0x13});
    // TCP may split a frame right after its first byte: the AA must survive.
    QTest::newRow("lone trailing AA kept") << Bytes({1, 0x55, 0xAA}) << false << quint32(2) << Bytes({1, 0x55, 0xAA});
    QTest::newRow("only AA") << Bytes({0xAA}) << false << quint32(0) << Bytes({0xAA});
    // A length past the bound is a false sync pattern, not a reason to wait
    // for a quarter gigabyte or more; up to the bound the parser waits.
    QTest::newRow("length past bound") << Header(FramePayloadLimit + 1) << false << quint32(2) << Header(FramePayloadLimit + 1);
    QTest::newRow("length 2^32-1") << Header(0xFFFFFFFF) << false << quint32(2) << Header(0xFFFFFFFF);
    QTest::newRow("length at bound") << Header(FramePayloadLimit) << false << quint32(0) << Header(FramePayloadLimit);
}

void TestFrameCodec::parseResynchronises()
{
    QFETCH(QByteArray, buffer);
    QFETCH(bool, ok);
    QFETCH(quint32, consumed);
    QFETCH(QByteArray, bufferAfter);

    QByteArray frame("stale");
    quint32 cut = 99;
    QCOMPARE(ParseFrame(buffer, frame, cut), ok);
    QCOMPARE(cut, consumed);
    QCOMPARE(buffer, bufferAfter);
    QCOMPARE(frame, ok ? buffer.left(int(consumed)) : QByteArray());
}

void TestFrameCodec::streamInPiecesYieldsSameFrames_data()
{
    QTest::addColumn<int>("piece");
    for (int piece : {1, 2, 3, 7, 28, 29})
        QTest::newRow(qPrintable(QString::number(piece))) << piece;
    QTest::newRow("random") << 0;
}

// The same frames, with every kind of garbage between them, whatever pieces
// the stream arrives in.
void TestFrameCodec::streamInPiecesYieldsSameFrames()
{
    QFETCH(int, piece);

    QRandomGenerator random(2024);
    QList<QByteArray> expected;
    QByteArray stream;
    const QList<int> sizes = {0, 1, 3, 4, 5, 8, 100, 4000, 2, 70000};
    for (int i = 0; i < sizes.size(); ++i) {
        QByteArray payload(sizes[i], '\0');
        for (char& b : payload)
            b = char(random.bounded(256));
        const QByteArray frame = Build(quint32(100 + i), quint32(i), payload);
        expected.append(frame);
        QByteArray corrupt = frame;
        corrupt[corrupt.size() - 1] = char(corrupt[corrupt.size() - 1] ^ 0x01);
        // Before each frame: nothing, a false sync pattern, a frame failing its
        // data check, a header whose payload would swallow the frame, or one
        // announcing an absurd length.
        const QByteArray before[] = {{}, Bytes({0xAA, 0x55, 0xFF, 0xFF, 0x01, 0xAA}), corrupt,
                                     Header(quint32(frame.size() + 3)), Header(FramePayloadLimit + 5)};
        stream.append(before[i % 5] + frame);
    }
    stream.append(Bytes({0x13, 0xAA}));

    QByteArray buffer;
    QList<QByteArray> frames;
    for (int at = 0; at < stream.size();) {
        const int size = piece > 0 ? piece : int(random.bounded(1, 5000));
        buffer.append(stream.mid(at, size));
        at += size;
        frames += Drain(buffer);
    }
    QCOMPARE(frames, expected);
    QCOMPARE(buffer, Bytes({0xAA}));
}

QTEST_APPLESS_MAIN(TestFrameCodec)
#include "tst_framecodec.moc"
