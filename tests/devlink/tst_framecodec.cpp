#include "devlink/FrameCodec.h"

#include <QRandomGenerator>
#include <QtTest>

#include <memory>

namespace {

QByteArray Build(quint32 sequence, quint32 command, const QByteArray& payload, quint16 type = 0)
{
    frameSequence = sequence;
    return *std::unique_ptr<QByteArray>(BuildFrame(command, payload, type));
}

// A header of command 9 whose checks pass, announcing length bytes.
QByteArray Header(quint32 length)
{
    QByteArray header = QByteArray::fromHex("aa55008009000000");
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
    void buildsFramesByteForByte()
    {
        // DataCheck of b0..b4 = (b0 | b1<<8 | b2<<16 | b3<<24) ^ b4.
        QCOMPARE(Build(0x11223344, 0x0102, QByteArray::fromHex("0102030405")).toHex(' '),
                 QByteArray("aa 55 00 80 02 01 00 00 44 33 22 11 05 00 00 00 4b 34 22 11 04 02 03 04 00 00 00 00 "
                            "01 02 03 04 05"));
        // Only the low 16 bits of the command go on the wire and into HeadCheck;
        // nine bytes take the check through two whole words and a tail.
        const QByteArray reply = Build(5, 0x103E9, QByteArray::fromHex("010203040506070809"), 1);
        QCOMPARE(reply.toHex(' '),
                 QByteArray("aa 55 00 80 e9 03 01 00 05 00 00 00 09 00 00 00 f8 03 00 00 0d 04 04 0c 00 00 00 00 "
                            "01 02 03 04 05 06 07 08 09"));
        QVERIFY(GetFrameType(reply) == 1 && GetFrameCommand(reply) == 1001);
        QCOMPARE(*std::unique_ptr<QByteArray>(GetFramePayload(reply)), reply.mid(28));

        // One counter for all frames, wrapping; HeadCheck sums modulo 2^32.
        QCOMPARE(Build(0xFFFFFFFF, 1, QByteArray()).mid(8, 12).toHex(), QByteArray("ffffffff0000000000000000"));
        QCOMPARE(std::unique_ptr<QByteArray>(BuildFrame(1, QByteArray(), 0))->mid(8, 12).toHex(),
                 QByteArray("000000000000000001000000"));
    }

    void parseResynchronises_data()
    {
        QTest::addColumn<QByteArray>("buffer");
        QTest::addColumn<quint32>("consumed");
        QTest::addColumn<QByteArray>("frame"); // empty: no frame

        // Each case here is one the stream below meets only in passing.
        const QByteArray valid = Build(40, 6, QByteArray::fromHex("090807060504"));
        QByteArray alteredHead = valid;
        alteredHead[16] = char(alteredHead[16] + 1);
        // Leading garbage is counted in, never cut from the buffer in place.
        QTest::newRow("stray AA bytes first")
            << QByteArray::fromHex("aa00aa") + valid << quint32(3 + valid.size()) << valid;
        QTest::newRow("head check altered") << alteredHead << quint32(2) << QByteArray();
        QTest::newRow("wrong marker") << QByteArray::fromHex("aa55ffff") + valid.mid(4) << quint32(2) << QByteArray();
        // TCP may split a frame right after its first byte: the AA must survive.
        QTest::newRow("lone trailing AA kept") << QByteArray::fromHex("0155aa") << quint32(2) << QByteArray();
        // A length past the bound is a false sync pattern, not a reason to wait
        // for a quarter gigabyte or more; up to the bound the parser waits.
        QTest::newRow("length past bound") << Header(FramePayloadLimit + 1) << quint32(2) << QByteArray();
        QTest::newRow("length at bound") << Header(FramePayloadLimit) << quint32(0) << QByteArray();
    }

    void parseResynchronises()
    {
        QFETCH(QByteArray, buffer);
        QFETCH(quint32, consumed);
        QFETCH(QByteArray, frame);
        const QByteArray before = buffer;
        QByteArray cut("stale");
        quint32 count = 99;
        QCOMPARE(ParseFrame(buffer, cut, count), !frame.isEmpty());
        QCOMPARE(count, consumed);
        QCOMPARE(cut, frame);
        QCOMPARE(buffer, before);
    }

    void streamInPiecesYieldsSameFrames_data()
    {
        QTest::addColumn<int>("piece");
        for (int piece : {1, 2, 3, 7, 28, 29})
            QTest::newRow(qPrintable(QString::number(piece))) << piece;
        QTest::newRow("random") << 0;
    }

    // The same frames, with every kind of garbage between them, whatever pieces
    // the stream arrives in.
    void streamInPiecesYieldsSameFrames()
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
            const QByteArray before[] = {{},
                                         QByteArray::fromHex("aa55ffff01aa"),
                                         corrupt,
                                         Header(quint32(frame.size() + 3)),
                                         Header(FramePayloadLimit + 5)};
            stream.append(before[i % 5] + frame);
        }
        stream.append("\x13\xAA");

        // Cut as the transport does: after each piece, one ParseFrame per pass
        // until a pass consumes nothing.
        QByteArray buffer;
        QList<QByteArray> frames;
        for (int at = 0; at < stream.size();) {
            const int size = piece > 0 ? piece : int(random.bounded(1, 5000));
            buffer.append(stream.mid(at, size));
            at += size;
            for (quint32 consumed = 1; consumed > 0 && !buffer.isEmpty();) {
                QByteArray frame;
                if (ParseFrame(buffer, frame, consumed))
                    frames.append(frame);
                buffer.remove(0, int(consumed));
            }
        }
        QCOMPARE(frames, expected);
        QCOMPARE(buffer, QByteArray("\xAA"));
    }
};

QTEST_APPLESS_MAIN(TestFrameCodec)
#include "tst_framecodec.moc"
