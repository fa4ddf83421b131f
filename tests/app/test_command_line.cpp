#include "app/command_line.h"
#include "link/serial_ports.h"

#include <QTest>

namespace {
CommandLine parse(const QStringList& words)
{
    return parseCommandLine(QStringList{QStringLiteral("orvane")} + words);
}
} // namespace

class TestCommandLine : public QObject {
    Q_OBJECT
private slots:
    void accepted_data();
    void accepted();
    void refused_data();
    void refused();
    void helpAndVersionLeaveWithoutRunning();
    void traceGoesWithEitherPort();
};

void TestCommandLine::accepted_data()
{
    QTest::addColumn<QStringList>("words");
    QTest::addColumn<bool>("simulate");
    QTest::addColumn<QString>("port");
    QTest::addColumn<bool>("exitWhenShown");
    QTest::newRow("nothing: the numbered port") << QStringList{} << false << QString() << false;
    QTest::newRow("simulate") << QStringList{"--simulate"} << true << QString() << false;
    QTest::newRow("port") << QStringList{"--port", "/dev/ttyUSB0"} << false << "/dev/ttyUSB0" << false;
    QTest::newRow("port=") << QStringList{"--port=COM5"} << false << "COM5" << false;
    QTest::newRow("port at the limit") << QStringList{"--port", QString(kMaxPortNameLength, 'a')} << false
                                       << QString(kMaxPortNameLength, 'a') << false;
    QTest::newRow("benchmark") << QStringList{"--exit-when-shown"} << false << QString() << true;
    QTest::newRow("benchmark, simulated")
        << QStringList{"--simulate", "--exit-when-shown"} << true << QString() << true;
}

void TestCommandLine::accepted()
{
    QFETCH(QStringList, words);
    const CommandLine line = parse(words);
    QCOMPARE(line.action, CommandLine::Action::Run);
    QCOMPARE(line.output, QString());
    QTEST(line.simulate, "simulate");
    QTEST(line.portName, "port");
    QTEST(line.exitWhenShown, "exitWhenShown");
}

void TestCommandLine::refused_data()
{
    QTest::addColumn<QStringList>("words");
    QTest::addColumn<QString>("message");
    QTest::newRow("empty port") << QStringList{"--port", ""} << "orvane: --port needs a device name";
    QTest::newRow("empty port=") << QStringList{"--port="} << "orvane: --port needs a device name";
    QTest::newRow("blank port") << QStringList{"--port", "  "} << "orvane: --port needs a device name";
    QTest::newRow("port without value") << QStringList{"--port"} << "orvane: Missing value after '--port'.";
    QTest::newRow("stray word") << QStringList{"foo"} << "orvane: unexpected argument 'foo' (see --help)";
    QTest::newRow("stray word after a good option")
        << QStringList{"--simulate", "COM1"} << "orvane: unexpected argument 'COM1' (see --help)";
    QTest::newRow("simulate and port") << QStringList{"--simulate", "--port", "/dev/ttyS0"}
                                       << "orvane: --simulate picks its own port; leave out --port";
    QTest::newRow("port and simulate") << QStringList{"--port", "/dev/ttyS0", "--simulate"}
                                       << "orvane: --simulate picks its own port; leave out --port";
    QTest::newRow("port twice") << QStringList{"--port", "/dev/ttyS0", "--port", "/dev/ttyS1"}
                                << "orvane: --port given more than once";
    QTest::newRow("port one longer than the limit")
        << QStringList{"--port", QString(kMaxPortNameLength + 1, 'a')}
        << QStringLiteral("orvane: port name too long (%1 characters, at most %2)")
               .arg(kMaxPortNameLength + 1)
               .arg(kMaxPortNameLength);
    QTest::newRow("port of 100000 characters")
        << QStringList{"--port", QString(100000, 'x')}
        << QStringLiteral("orvane: port name too long (100000 characters, at most %1)")
               .arg(kMaxPortNameLength);
    QTest::newRow("unknown option") << QStringList{"--bogus"} << "orvane: Unknown option 'bogus'.";
    QTest::newRow("empty trace") << QStringList{"--trace="} << "orvane: --trace needs a file name";
    QTest::newRow("trace without file") << QStringList{"--trace"} << "orvane: Missing value after '--trace'.";
    QTest::newRow("trace twice") << QStringList{"--trace", "a", "--trace", "b"}
                                 << "orvane: --trace given more than once";
}

void TestCommandLine::refused()
{
    QFETCH(QStringList, words);
    const CommandLine line = parse(words);
    QCOMPARE(line.action, CommandLine::Action::Refuse);
    QTEST(line.output, "message");
    QVERIFY(!line.output.contains('\n')); // one line on stderr
    QCOMPARE(line.exitStatus, 2);
}

void TestCommandLine::helpAndVersionLeaveWithoutRunning()
{
    for (const QString& word : {QStringLiteral("--version"), QStringLiteral("-v")}) {
        const CommandLine line = parse({word});
        QCOMPARE(line.action, CommandLine::Action::PrintAndExit);
        QCOMPARE(line.output, QStringLiteral("orvane 1.4.3\n"));
        QCOMPARE(line.exitStatus, 0);
    }
    for (const QString& word : {QStringLiteral("--help"), QStringLiteral("-h")}) {
        const CommandLine line = parse({word});
        QCOMPARE(line.action, CommandLine::Action::PrintAndExit);
        QCOMPARE(line.exitStatus, 0);
        for (const char* listed : {"--simulate", "--port <name>", "--trace <file>", "--version"})
            QVERIFY2(line.output.contains(QLatin1String(listed)), listed);
        QVERIFY(!line.output.contains(QLatin1String("exit-when-shown")));
    }
}

void TestCommandLine::traceGoesWithEitherPort()
{
    QCOMPARE(parse({}).tracePath, QString());
    for (const QStringList& words : {QStringList{"--simulate", "--trace", "line.trace"},
                                     QStringList{"--trace=line.trace", "--port", "/dev/ttyUSB0"}}) {
        const CommandLine line = parse(words);
        QCOMPARE(line.action, CommandLine::Action::Run);
        QCOMPARE(line.tracePath, QString("line.trace"));
    }
}

QTEST_GUILESS_MAIN(TestCommandLine)
#include "test_command_line.moc"
