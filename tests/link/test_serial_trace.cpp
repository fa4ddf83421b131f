// The trace file: how chunks of the line are named, the lines as written, and a file that cannot
// be written, at the start or later.
#include "link/frames.h"
#include "link/serial_trace.h"
#include "link/trace_decoder.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#include <thread>

namespace {
QByteArray reply(int code, const QByteArray& payload)
{
    return frames::frame(code, payload);
}
const QByteArray kVersionReply = reply(7, QByteArray("\x02\x01\x07", 3));
const QByteArray kStatusReply = reply(3, QByteArray(38, '\x11'));

QStringList traceLines(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {};
    QStringList lines;
    for (const QByteArray& line : file.readAll().split('\n'))
        if (!line.isEmpty() && !line.startsWith('#')) lines << QString::fromUtf8(line);
    return lines;
}
} // namespace

class TestSerialTrace : public QObject {
    Q_OBJECT
private slots:
    void namesWholeFrames_data();
    void namesWholeFrames();
    void namesWhatIsNotOneFrame();
    void followsAFrameAcrossChunks();
    void linesInTimeOrderWithDirectionAndBytes();
    void reachesTheDiskWithoutClosing();
    void pathThatCannotBeWrittenIsRefusedAtOpen();
    void fullDiskLaterStopsTheTraceOnly();
};

void TestSerialTrace::namesWholeFrames_data()
{
    QTest::addColumn<QByteArray>("chunk");
    QTest::addColumn<bool>("fromEcu");
    QTest::addColumn<QString>("name");
    QTest::newRow("version request") << frames::readVersion() << false << "ReadVersion";
    QTest::newRow("version reply") << kVersionReply << true << "ReadVersion reply";
    QTest::newRow("last code") << frames::readCalibrationExtra() << false << "ReadCalibrationExtra";
    QTest::newRow("parameter write") << *frames::writeParameter(4, 350) << false
                                     << "WriteParameter id 4 = 350";
    QTest::newRow("parameter echo") << *frames::writeParameter(12, 65535) << true
                                    << "WriteParameter reply id 12 = 65535";
    QTest::newRow("cell echo") << *frames::writeTableCell(64, 255) << true
                               << "WriteTableCell reply cell 64 = 255";
    QTest::newRow("calibration poll")
        << *frames::calibrationPoll(118) << false << "CalibrationPoll value 118";
    QTest::newRow("coil poll") << *frames::calibrationPollCoils(3) << false << "CalibrationPollCoils coils 3";
    QTest::newRow("code 17") << frames::frame(17) << false << "unknown code 17";
    // the receiver does not look at the header, so neither does the trace
    QTest::newRow("other header") << QByteArray("EC\x01\x08\x07\x02\x01\x07", 8) << true
                                  << "ReadVersion reply";
}

void TestSerialTrace::namesWholeFrames()
{
    QFETCH(QByteArray, chunk);
    QFETCH(bool, fromEcu);
    TraceDecoder decoder(fromEcu ? TraceDirection::FromEcu : TraceDirection::ToEcu);
    QTEST(decoder.describe(chunk), "name");
}

void TestSerialTrace::namesWhatIsNotOneFrame()
{
    TraceDecoder d(TraceDirection::FromEcu);
    QCOMPARE(d.describe({}), QString("empty"));
    QCOMPARE(d.describe("\x01\x02" + kVersionReply), QString("noise (2 bytes) + ReadVersion reply"));
    QCOMPARE(d.describe(kStatusReply + kVersionReply), QString("ReadStatus reply + ReadVersion reply"));
    QCOMPARE(d.describe(kVersionReply + 'x'), QString("ReadVersion reply + noise (1 byte)"));
    QCOMPARE(d.describe(QByteArray("PC\0", 3)), QString("partial frame (3 bytes)"));
    QCOMPARE(d.describe(QByteArray("PC\0\x05", 4)), QString("partial frame (4 of 5 bytes)"));
    QCOMPARE(d.describe("\x07"), QString("rest of frame (1 byte)"));
    QCOMPARE(d.describe("zz"), QString("noise (2 bytes)"));
    // a length byte no frame can have is not followed
    QCOMPARE(d.describe(QByteArray("PC\0\x02\x07", 5) + kVersionReply),
             QString("noise (5 bytes) + ReadVersion reply"));
}

void TestSerialTrace::followsAFrameAcrossChunks()
{
    TraceDecoder d(TraceDirection::FromEcu);
    QCOMPARE(d.describe(kStatusReply.left(20)), QString("partial ReadStatus reply (20 of 43 bytes)"));
    QCOMPARE(d.describe(kStatusReply.mid(20, 3)), QString("rest of ReadStatus reply (3 bytes)"));
    QCOMPARE(d.describe(kStatusReply.mid(23) + kVersionReply.left(6)),
             QString("rest of ReadStatus reply (20 bytes) + partial ReadVersion reply (6 of 8 bytes)"));
    // the missing bytes never came: a new frame is not taken for them
    QCOMPARE(d.describe(kStatusReply.left(10)), QString("partial ReadStatus reply (10 of 43 bytes)"));
    QCOMPARE(d.describe(kVersionReply + kVersionReply), QString("ReadVersion reply + ReadVersion reply"));
    QCOMPARE(d.describe("\x05\x06"), QString("noise (2 bytes)"));
    // the rest of a frame whose length byte happens to match its own size is still the rest
    QCOMPARE(d.describe(kStatusReply.left(38)), QString("partial ReadStatus reply (38 of 43 bytes)"));
    QCOMPARE(d.describe(QByteArray("\x01\x02\x03\x05\x09", 5)),
             QString("rest of ReadStatus reply (5 bytes)"));
}

void TestSerialTrace::linesInTimeOrderWithDirectionAndBytes()
{
    QTemporaryDir dir;
    for (const SerialTrace::Side side : {SerialTrace::Side::Pc, SerialTrace::Side::Ecu}) {
        const QString path = dir.filePath(side == SerialTrace::Side::Pc ? "pc.trace" : "ecu.trace");
        SerialTrace trace(side);
        QVERIFY2(trace.open(path, "test"), qPrintable(trace.errorText()));
        // two threads at once, as the virtual ECU's thread and the program's can be
        constexpr int kEach = 2000;
        std::thread other([&trace] {
            for (int i = 0; i < kEach; ++i)
                trace.received(kVersionReply);
        });
        for (int i = 0; i < kEach; ++i)
            trace.sent(frames::readVersion());
        other.join();
        trace.note("port lost");
        QVERIFY(trace.close());

        const QStringList lines = traceLines(path);
        QCOMPARE(lines.size(), 2 * kEach + 1);
        const QString out = side == SerialTrace::Side::Pc ? "PC>ECU" : "ECU>PC";
        const QString in = side == SerialTrace::Side::Pc ? "ECU>PC" : "PC>ECU";
        qint64 last = -1;
        int outCount = 0;
        for (const QString& line : lines.mid(0, 2 * kEach)) {
            const QStringList f = line.split('\t');
            QCOMPARE(f.size(), 4);
            const qint64 micros = f[0].toLongLong();
            QVERIFY2(micros >= last, qPrintable(line));
            last = micros;
            if (f[1] == out) {
                ++outCount;
                QCOMPARE(f[3], QString("50 43 00 05 07"));
            } else {
                QCOMPARE(f[1], in);
                QCOMPARE(f[3], QString("50 43 00 08 07 02 01 07"));
            }
        }
        QCOMPARE(outCount, kEach);
        QVERIFY(lines.last().endsWith("\tnote\tport lost"));
    }
}

void TestSerialTrace::reachesTheDiskWithoutClosing()
{
    // what a program that is killed leaves behind
    QTemporaryDir dir;
    SerialTrace trace(SerialTrace::Side::Pc);
    QVERIFY(trace.open(dir.filePath("t.trace"), "test"));
    trace.sent(frames::readStatus());
    QTRY_COMPARE_WITH_TIMEOUT(traceLines(dir.filePath("t.trace")).size(), 1, 5 * SerialTrace::kFlushMs);
}

void TestSerialTrace::pathThatCannotBeWrittenIsRefusedAtOpen()
{
    QTemporaryDir dir;
    // a pipe nobody reads would block the open for ever
    const QString fifo = dir.filePath("pipe");
    QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    for (const QString& path : {dir.filePath("missing/t.trace"), dir.path(), QString("/dev/full"), fifo}) {
        SerialTrace trace(SerialTrace::Side::Pc);
        QVERIFY2(!trace.open(path, "test"), qPrintable(path));
        QVERIFY2(!trace.errorText().isEmpty(), qPrintable(path));
        QVERIFY(!trace.isActive());
        trace.sent(frames::readStatus()); // nothing to write to: ignored, not a crash
    }
    QVERIFY(!QFile::exists(dir.filePath("missing/t.trace")));
}

void TestSerialTrace::fullDiskLaterStopsTheTraceOnly()
{
    QTemporaryDir dir;
    SerialTrace trace(SerialTrace::Side::Pc);
    QVERIFY(trace.open(dir.filePath("t.trace"), "test"));
    QStringList failed; // delivered on this thread, as the program's windows get it
    QObject receiver;
    connect(&trace, &SerialTrace::failed, &receiver, [&failed](const QString& reason) { failed << reason; });

    // a file size limit fails the writes as a full disk does, for this process only
    rlimit saved{};
    QCOMPARE(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limited = saved;
    limited.rlim_cur = static_cast<rlim_t>(QFileInfo(dir.filePath("t.trace")).size() + 200);
    QCOMPARE(::setrlimit(RLIMIT_FSIZE, &limited), 0);
    for (int i = 0; i < 100; ++i)
        trace.received(kStatusReply);
    const bool stopped = QTest::qWaitFor([&] { return !trace.isActive(); }, 5000);
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previousHandler);

    QVERIFY(stopped);
    QTRY_COMPARE(failed.size(), 1);
    QCOMPARE(failed.first(), QString::fromLatin1(SerialTrace::kDiskFull));
    // the disk took part of the last batch: the trace still ends on a whole line
    QFile file(dir.filePath("t.trace"));
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    QVERIFY(bytes.endsWith('\n'));
    QVERIFY(static_cast<rlim_t>(bytes.size()) <= limited.rlim_cur);
    QCOMPARE(trace.errorText(), failed.first());
    trace.sent(frames::readStatus()); // the link goes on sending: ignored
    QVERIFY(!trace.close());
    QCOMPARE(failed.size(), 1);
}

QTEST_GUILESS_MAIN(TestSerialTrace)
#include "test_serial_trace.moc"
