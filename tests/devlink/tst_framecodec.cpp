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

std::unique_ptr<QByteArray> Build(quint32 sequence, quint32 command, const QByteArray& payload, quint16 type = 0)
{
    frameSequence = sequence;
    return std::unique_ptr<QByteArray>(BuildFrame(command, payload, type));
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

// A header whose checks pass, announcing length bytes that never follow.
QByteArray BogusHeader(quint32 length)
{
    const quint32 sequence = 7;
    const quint32 check = 9 + sequence + length;
    QByteArray header = Bytes({0xAA, 0x55, 0x00, 0x80, 0x09, 0x00, 0x00, 0x00});
    for (quint32 v : {sequence, length, check, quint32(0x12345678), quint32(0)}) {
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
    void sequenceIsSharedAndWraps();
    void dataCheckMatchesWordByWordXor();
    void readsFieldsOfAReply();
    void parseResynchronises_data();
    void parseResynchronises();
    void parseRejectsAbsurdLengths();
    void streamInPiecesYieldsSameFrames_data();
    void streamInPiecesYieldsSameFrames();
};

void TestFrameCodec::buildsFramesByteForByte()
{
    auto empty = Build(0, 3, QByteArray());
    QCOMPARE(*empty, Bytes({0xAA, 0x55, 0x00, 0x80, 0x03, 0x00, 0x00, 0x00,
                            0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
                            0x03, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
                            0x00, 0x00, 0x00, 0x00}));

    // DataCheck of b0..b4 = (b0 | b1<<8 | b2<<16 | b3<<24) ^ b4.
    auto five = Build(0x11223344, 0x0102, Bytes({1, 2, 3, 4, 5}));
    QCOMPARE(*five, Bytes({0xAA, 0x55, 0x00, 0x80, 0x02, 0x01, 0x00, 0x00,
                           0x44, 0x33, 0x22, 0x11, 0x05, 0x00, 0x00, 0x00,
                           0x4B, 0x34, 0x22, 0x11, 0x04, 0x02, 0x03, 0x04,
                           0x00, 0x00, 0x00, 0x00, 0x01, 0x02, 0x03, 0x04, 0x05}));

    // Only the low 16 bits of the command go on the wire, and into HeadCheck.
    auto wide = Build(0, 0x10007, QByteArray("\xF0\xE0\xD0", 3));
    QCOMPARE(*wide, Bytes({0xAA, 0x55, 0x00, 0x80, 0x07, 0x00, 0x00, 0x00,
                           0x00, 0x00, 0x00, 0x00, 0x03, 0x00, 0x00, 0x00,
                           0x0A, 0x00, 0x00, 0x00, 0xF0, 0xE0, 0xD0, 0x00,
                           0x00, 0x00, 0x00, 0x00, 0xF0, 0xE0, 0xD0}));
}

void TestFrameCodec::sequenceIsSharedAndWraps()
{
    // HeadCheck sums modulo 2^32: 1 + 0 + 0xFFFFFFFF + 0 = 0.
    auto last = Build(0xFFFFFFFF, 1, QByteArray());
    std::unique_ptr<QByteArray> first(BuildFrame(1, QByteArray(), 0));
    QCOMPARE(last->mid(8, 12), Bytes({0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0, 0, 0, 0, 0}));
    QCOMPARE(first->mid(8, 12), Bytes({0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0}));
    QCOMPARE(frameSequence.load(), 1u);
}

void TestFrameCodec::dataCheckMatchesWordByWordXor()
{
    QRandomGenerator random(11);
    for (int length = 0; length <= 19; ++length) {
        QByteArray bytes(length, '\0');
        for (char& b : bytes)
            b = char(random.bounded(256));
        quint32 expected = 0;
        for (int word = 0; word < length; word += 4) {
            quint32 value = 0;
            for (int i = 0; i < 4 && word + i < length; ++i)
                value |= quint32(uchar(bytes[word + i])) << (8 * i);
            expected ^= value;
        }
        QCOMPARE(CalcDataCheck(quint32(length), bytes.constData()), expected);
    }
}

void TestFrameCodec::readsFieldsOfAReply()
{
    // Reply (type 1) to command 0x03E9 with payload 01 00 00 00, sequence 5.
    const QByteArray reply = Bytes({0xAA, 0x55, 0x00, 0x80, 0xE9, 0x03, 0x01, 0x00,
                                    0x05, 0x00, 0x00, 0x00, 0x04, 0x00, 0x00, 0x00,
                                    0xF3, 0x03, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00,
                                    0x00, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00});
    QCOMPARE(GetFrameType(reply), quint16(1));
    QCOMPARE(GetFrameCommand(reply), quint16(1001));
    std::unique_ptr<QByteArray> payload(GetFramePayload(reply));
    QCOMPARE(*payload, Bytes({1, 0, 0, 0}));

    QByteArray buffer = reply;
    QByteArray frame;
    quint32 consumed = 0;
    QVERIFY(ParseFrame(buffer, frame, consumed));
    QCOMPARE(frame, reply);
    QCOMPARE(consumed, quint32(reply.size()));
}

void TestFrameCodec::parseResynchronises_data()
{
    QTest::addColumn<QByteArray>("buffer");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<quint32>("consumed");
    QTest::addColumn<QByteArray>("bufferAfter");

    const QByteArray valid = *Build(40, 6, Bytes({9, 8, 7, 6, 5, 4}));
    const QByteArray empty = *Build(41, 2, QByteArray());

    QTest::newRow("empty payload") << empty << true << quint32(28) << empty;
    QTest::newRow("two stray bytes first") << Bytes({0x01, 0x02}) + valid << true << quint32(valid.size()) << valid;
    QTest::newRow("stray AA bytes first") << Bytes({0xAA, 0x00, 0xAA}) + valid << true << quint32(valid.size()) << valid;
    QTest::newRow("27 bytes wait") << empty.left(27) << false << quint32(0) << empty.left(27);
    QTest::newRow("payload incomplete") << valid.left(30) << false << quint32(0) << valid.left(30);
    QTest::newRow("wrong marker") << Bytes({0xAA, 0x55, 0xFF, 0xFF}) + empty.mid(4) << false << quint32(2)
                                  << Bytes({0xAA, 0x55, 0xFF, 0xFF}) + empty.mid(4);
    QByteArray alteredPayload = valid;
    alteredPayload[30] = char(alteredPayload[30] ^ 0x10);
    QTest::newRow("payload altered") << alteredPayload << false << quint32(2) << alteredPayload;
    QByteArray alteredHead = valid;
    alteredHead[16] = char(alteredHead[16] + 1);
    QTest::newRow("head check altered") << alteredHead << false << quint32(2) << alteredHead;
    QTest::newRow("no sync at all") << Bytes({0x55, 0xAA, 0x00, 0x13}) << false << quint32(4) << Bytes({0x55, 0xAA, 0x00, 0x13});
    // TCP may split a frame right after its first byte: the AA must survive.
    QTest::newRow("lone trailing AA kept") << Bytes({0x01, 0x55, 0xAA}) << false << quint32(2) << Bytes({0x01, 0x55, 0xAA});
    QTest::newRow("only AA") << Bytes({0xAA}) << false << quint32(0) << Bytes({0xAA});
    QTest::newRow("garbage then half sync") << Bytes({0x01, 0x02}) + empty.left(1) << false << quint32(2)
                                            << Bytes({0x01, 0x02, 0xAA});
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
    if (ok)
        QCOMPARE(frame, buffer.left(int(consumed)));
    else
        QVERIFY(frame.isEmpty());
}

void TestFrameCodec::parseRejectsAbsurdLengths()
{
    // Passing head checks with a length beyond the bound is a false sync
    // pattern, not a reason to wait for a quarter gigabyte or more.
    for (quint32 length : {FramePayloadLimit + 1, quint32(0xFFFFFFFF)}) {
        QByteArray buffer = BogusHeader(length);
        QByteArray frame;
        quint32 consumed = 0;
        QVERIFY(!ParseFrame(buffer, frame, consumed));
        QCOMPARE(consumed, 2u);
    }
    QByteArray buffer = BogusHeader(FramePayloadLimit);
    QByteArray frame;
    quint32 consumed = 1;
    QVERIFY(!ParseFrame(buffer, frame, consumed));
    QCOMPARE(consumed, 0u);
}

void TestFrameCodec::streamInPiecesYieldsSameFrames_data()
{
    QTest::addColumn<int>("piece");
    for (int piece : {1, 2, 3, 7, 28, 29})
        QTest::newRow(qPrintable(QString::number(piece))) << piece;
    QTest::newRow("random") << 0;
}

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
        const QByteArray frame = *Build(quint32(100 + i), quint32(i), payload);
        expected.append(frame);
        switch (i % 5) {
        case 1:
            stream.append(Bytes({0xAA, 0x55, 0xFF, 0xFF, 0x01, 0xAA}));
            break;
        case 2: {
            QByteArray corrupt = frame;
            corrupt[corrupt.size() - 1] = char(corrupt[corrupt.size() - 1] ^ 0x01);
            stream.append(corrupt);
            break;
        }
        case 3:
            // Announces a payload that swallows the next frame, then fails its data check.
            stream.append(BogusHeader(quint32(frame.size() + 3)));
            break;
        case 4:
            stream.append(BogusHeader(FramePayloadLimit + 5));
            break;
        default:
            break;
        }
        stream.append(frame);
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
    QCOMPARE(frames.size(), expected.size());
    QCOMPARE(frames, expected);
    QCOMPARE(buffer, Bytes({0xAA}));
}

QTEST_APPLESS_MAIN(TestFrameCodec)
#include "tst_framecodec.moc"
