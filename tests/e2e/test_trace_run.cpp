// Traces of the real line: the connect handshake seen from the program and from the virtual ECU,
// and both programs refusing a trace file they cannot write.
#include "link/frames.h"
#include "link/serial_link.h"
#include "link/serial_trace.h"
#include "sim/simulator_thread.h"
#include "support/fake_link.h"
#include "support/grab.h"
#include "support/quiet_offscreen.h"
#include "support/window_test.h"
#include "ui/common/trace_messages.h"

#include <QFile>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

namespace {
struct TraceLine {
    QString direction;
    QString what;
    QByteArray bytes;
};

std::vector<TraceLine> readTrace(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {};
    std::vector<TraceLine> lines;
    for (const QByteArray& line : file.readAll().split('\n')) {
        if (line.isEmpty() || line.startsWith('#')) continue;
        const QList<QByteArray> f = line.split('\t');
        if (f.size() != 4) continue; // notes
        lines.push_back({QString::fromUtf8(f[1]), QString::fromUtf8(f[2]), QByteArray::fromHex(f[3])});
    }
    return lines;
}

// The handshake as it must appear on the line: each request, then the virtual ECU's reply to it.
std::vector<TraceLine> expectedHandshake()
{
    VirtualEcu ecu;
    std::vector<TraceLine> lines;
    for (const auto& [name, request] : {std::pair{"ReadVersion", frames::readVersion()},
                                        std::pair{"ReadAllParameters", frames::readAllParameters()},
                                        std::pair{"ReadTable", frames::readTable()}}) {
        lines.push_back({"PC>ECU", name, request});
        QByteArray reply;
        for (const VirtualEcu::Chunk& chunk : ecu.receive(request, 0))
            reply += chunk.bytes;
        lines.push_back({"ECU>PC", QString(name) + " reply", reply});
    }
    return lines;
}

void compareTraces(const std::vector<TraceLine>& actual, const std::vector<TraceLine>& expected)
{
    QCOMPARE(actual.size(), expected.size());
    for (std::size_t i = 0; i < actual.size(); ++i) {
        QCOMPARE(actual[i].direction, expected[i].direction);
        QCOMPARE(actual[i].what, expected[i].what);
        QCOMPARE(actual[i].bytes.toHex(' '), expected[i].bytes.toHex(' '));
    }
}
} // namespace

class TestTraceRun : public WindowTest {
    Q_OBJECT
private slots:
    void initTestCase() { quietOffscreenWarnings(); }
    void cleanup()
    {
        app.reset();
        link.reset();
        sim.reset();
    }

    void handshakeTracedFromBothEnds();
    void unwritableTraceStopsBothProgramsAtStart();
    void ecuSimulatorWritesItsTraceWhenStopped();
    void traceStopIsToldInTheUsersLanguage();

private:
    std::unique_ptr<SimulatorThread> sim;
    std::unique_ptr<SerialLink> link;
};

void TestTraceRun::handshakeTracedFromBothEnds()
{
    QTemporaryDir dir;
    sim = std::make_unique<SimulatorThread>();
    QVERIFY2(sim->start(), qPrintable(sim->errorText()));
    SerialTrace ecuTrace(SerialTrace::Side::Ecu);
    QVERIFY(ecuTrace.open(dir.filePath("ecu.trace"), "test"));
    QMetaObject::invokeMethod(
        &sim->host(), [&] { sim->host().setTrace(&ecuTrace); }, Qt::BlockingQueuedConnection);

    link = std::make_unique<SerialLink>();
    SerialTrace pcTrace(SerialTrace::Side::Pc);
    QVERIFY(pcTrace.open(dir.filePath("pc.trace"), "test"));
    pcTrace.attach(*link);
    startApp(*link);
    app->state.serialPortName = sim->devicePath();
    app->context.simulated = true;
    app->context.simulatedPort = sim->devicePath();
    app->start();

    click("Form1", "Command1");
    QTRY_VERIFY_WITH_TIMEOUT(control<QPushButton>("Form2", "Command3")->isEnabled(), 8000);
    QMetaObject::invokeMethod(
        &sim->host(), [&] { sim->host().setTrace(nullptr); }, Qt::BlockingQueuedConnection);
    QVERIFY(pcTrace.close());
    QVERIFY(ecuTrace.close());

    const std::vector<TraceLine> expected = expectedHandshake();
    compareTraces(readTrace(dir.filePath("pc.trace")), expected);
    compareTraces(readTrace(dir.filePath("ecu.trace")), expected);
}

void TestTraceRun::unwritableTraceStopsBothProgramsAtStart()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("no-such-folder/line.trace");
    for (const QString& program : {QStringLiteral(ORVANE_PROGRAM), QStringLiteral(ECU_SIM_PROGRAM)}) {
        QProcess p;
        p.start(program, {"--trace", path});
        QVERIFY(p.waitForStarted());
        if (!p.waitForFinished(10000)) {
            p.kill();
            p.waitForFinished();
            QFAIL(qPrintable(program + " ran without its trace"));
        }
        QVERIFY(p.exitCode() != 0);
        const QString err = QString::fromLocal8Bit(p.readAllStandardError());
        QVERIFY2(err.contains("cannot write the trace file") && err.contains(path), qPrintable(err));
        QVERIFY(p.readAllStandardOutput().isEmpty()); // the simulator printed no device to use
    }
}

void TestTraceRun::ecuSimulatorWritesItsTraceWhenStopped()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("ecu.trace");
    QProcess p;
    p.start(QStringLiteral(ECU_SIM_PROGRAM), {"--trace", path});
    QVERIFY(p.waitForReadyRead(10000));
    const QString device = QString::fromLocal8Bit(p.readLine()).trimmed();

    SerialLink line;
    QByteArray got;
    connect(&line, &Link::received, [&got](const QByteArray& bytes) { got += bytes; });
    QVERIFY2(line.open(device, "9600,n,8,1"), qPrintable(line.errorText()));
    QVERIFY(line.send(frames::readVersion()));
    QTRY_VERIFY_WITH_TIMEOUT(got.size() >= 8, 3000);
    line.close();

    p.terminate(); // SIGTERM: a normal stop must still leave the whole trace
    QVERIFY(p.waitForFinished(10000));
    QCOMPARE(p.exitCode(), 0);
    const std::vector<TraceLine> lines = readTrace(path);
    QCOMPARE(lines.size(), std::size_t(2));
    QCOMPARE(lines[0].what, QString("ReadVersion"));
    QCOMPARE(lines[1].what, QString("ReadVersion reply"));
    QCOMPARE(lines[1].bytes, got);
}

void TestTraceRun::traceStopIsToldInTheUsersLanguage()
{
    FakeLink fake;
    startApp(fake);
    app->start();
    SerialTrace trace(SerialTrace::Side::Pc);
    const QString path = QStringLiteral("/media/usb/") + QString(200, 'x') + QStringLiteral("/line.trace");
    reportTraceStop(trace, app->context, path);
    const char* expected[] = {"La traccia della linea seriale si e' fermata",
                              "The serial line trace has stopped", "Seri hat kaydi durdu"};
    for (int language = 1; language <= 3; ++language) {
        app->state.languageIndex = language;
        emit trace.failed(QStringLiteral("No space left on device"));
        QCOMPARE(activeName(), QString("Form12"));
        const QString text = control<QLabel>("Form12", "Label1")->text();
        QVERIFY2(text.startsWith(QLatin1String(expected[language - 1])), qPrintable(text));
        // the end of a long path is the part that tells which file
        QVERIFY2(text.endsWith(QStringLiteral("xx/line.trace: No space left on device")), qPrintable(text));
        QVERIFY(text.size() < 300);
        grabIfAsked(form("Form12"), QStringLiteral("form12_trace_stopped_%1").arg(language));
        click("Form12", "Command1");
    }
    QVERIFY(!ended); // the program goes on
    app.reset();
}

QTEST_MAIN(TestTraceRun)
#include "test_trace_run.moc"
