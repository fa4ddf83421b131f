// orvane-cli run as a program against the virtual ECU on a pseudo-terminal, at 9600 baud: the
// archive round trip, a pulled port and Ctrl+C in the middle of a write, a silent ECU, the
// end-of-line verdict, and the command line's refusals.
#include "archive/workbook_file.h"
#include "link/parameter_catalogue.h"
#include "sim/simulator_thread.h"

#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <memory>

namespace {

struct Run {
    int exit = -1;
    QString out;
    QString err;
    QJsonObject json() const { return QJsonDocument::fromJson(out.toUtf8()).object(); }
};

// Writes that reached the virtual ECU: parameter writes (2) and cell writes (9).
int writesIn(const std::vector<int>& log)
{
    return static_cast<int>(
        std::count_if(log.begin(), log.end(), [](int code) { return code == 2 || code == 9; }));
}

} // namespace

class TestCliRun : public QObject {
    Q_OBJECT
private slots:
    void init()
    {
        sim = std::make_unique<SimulatorThread>();
        QVERIFY(sim->start());
    }
    void cleanup() { sim.reset(); }

    void refusesWhatItCannotFollow();
    void silentEcuAndMissingPort();
    void backupDiffRestore();
    void pulledPortAndCtrlCDuringRestore();
    void endOfLineVerdict();
    void statusParameterAndLog();

private:
    Run run(const QStringList& arguments, int timeoutMs = 30000)
    {
        QProcess p;
        p.start(QStringLiteral(ORVANE_CLI_PROGRAM), arguments);
        Run r;
        if (!p.waitForStarted() || !p.waitForFinished(timeoutMs)) {
            p.kill();
            p.waitForFinished();
            return r;
        }
        r.exit = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -2;
        r.out = QString::fromUtf8(p.readAllStandardOutput());
        r.err = QString::fromUtf8(p.readAllStandardError());
        return r;
    }
    QStringList onEcu(QStringList arguments) const
    {
        return QStringList{"--port", sim->devicePath(), "--lang", "en"} + arguments;
    }
    VehicleSet ecuSet()
    {
        VehicleSet set;
        sim->withEcu([&set](VirtualEcu& ecu) {
            set.parameters = ecu.parameters;
            set.cells = ecu.table;
        });
        set.parameters[param::warmSwitching] = 0; // not archived
        return set;
    }
    std::vector<int> takeRequestLog()
    {
        std::vector<int> log;
        sim->withEcu([&log](VirtualEcu& ecu) { log = std::exchange(ecu.requestLog, {}); });
        return log;
    }

    std::unique_ptr<SimulatorThread> sim;
    QTemporaryDir dir;
};

void TestCliRun::refusesWhatItCannotFollow()
{
    const QList<QStringList> refused = {
        {"frobnicate", "--port", "/dev/null"},
        {"info"},                                         // no port
        {"--simulate", "--port", "/dev/null", "info"},    // two ports
        {"--port", "/dev/null", "eol"},                   // no cylinder count
        {"--port", "/dev/null", "status", "--for", "5s"}, // another command's option
        {"--port", "/dev/null", "table", "set", "9", "1", "10"},
        {"--port", "/dev/null", "param", "set", "31", "40000"}, // the cutoff page takes 0..32767
    };
    for (const QStringList& arguments : refused) {
        const Run r = run(arguments);
        QVERIFY2(r.exit == 2, qPrintable(arguments.join(' ') + " -> " + QString::number(r.exit)));
        QCOMPARE(r.err.count('\n'), 1);
        QVERIFY(r.out.isEmpty());
    }
    QVERIFY(run({"--lang", "en", "--port", "/dev/null", "param", "set", "31", "40000"})
                .err.contains("is not a number from 0 to 32767"));

    // one source for --help and the man page
    const Run help = run({"restore", "--help"});
    QCOMPARE(help.exit, 0);
    QVERIFY(help.out.contains("--yes"));
    const QString man = dir.filePath("orvane-cli.1");
    QCOMPARE(run({"--man", man}).exit, 0);
    QFile page(man);
    QVERIFY(page.open(QIODevice::ReadOnly));
    const QString troff = QString::fromUtf8(page.readAll());
    QVERIFY(troff.startsWith(".TH ORVANE\\-CLI 1"));
    for (const char* command :
         {"info", "backup", "diff", "restore", "defaults", "table", "param", "status", "log", "eol"})
        QVERIFY2(troff.contains(QStringLiteral(".SS %1").arg(command)), command);
}

void TestCliRun::silentEcuAndMissingPort()
{
    sim->withEcu([](VirtualEcu& ecu) { ecu.faults.silent = true; });
    QElapsedTimer clock;
    clock.start();
    const Run silent = run(onEcu({"info"}));
    QCOMPARE(silent.exit, 4);
    // five version requests one second apart
    QVERIFY2(clock.elapsed() < 8000, qPrintable(QString::number(clock.elapsed())));
    QVERIFY2(silent.err.contains("no answer from the ECU"), qPrintable(silent.err));
    QVERIFY(silent.out.isEmpty());

    const Run missing = run({"--lang", "en", "--port", dir.filePath("no-such-device"), "info"});
    QCOMPARE(missing.exit, 3);
    QVERIFY2(missing.err.contains("no such port"), qPrintable(missing.err));
}

void TestCliRun::backupDiffRestore()
{
    const QString saved = dir.filePath("car.xls");
    const Run backup = run(onEcu({"--json", "backup", saved}));
    QCOMPARE(backup.exit, 0);
    const QJsonObject info = backup.json();
    QCOMPARE(info["file"].toString(), saved);
    QCOMPARE(info["ecuVersion"].toString(), QString("2.1.7"));
    QCOMPARE(info["parameters"].toInt(), 60);
    QCOMPARE(info["cells"].toInt(), 64);
    const auto read = readWorkbookFile(saved);
    QVERIFY(std::holds_alternative<VehicleSet>(read));
    QCOMPARE(std::get<VehicleSet>(read), ecuSet());
    QCOMPARE(run(onEcu({"diff", saved})).exit, 0);

    // another vehicle's file: two parameters (28 and 29 sit in each other's rows) and a cell
    VehicleSet changed = std::get<VehicleSet>(read);
    changed.parameters[param::lambda1LeanThreshold] = 360;
    changed.parameters[param::calibrationPressure] = 1150;
    changed.cells[12] = 131;
    const QString other = dir.filePath("other.xls");
    QVERIFY(!writeWorkbookFile(other, changed));

    const Run diff = run(onEcu({"--json", "diff", other}));
    QCOMPARE(diff.exit, 1);
    const QJsonArray changes = diff.json()["changes"].toArray();
    QCOMPARE(changes.size(), 3);
    QCOMPARE(changes[0].toObject()["name"].toString(),
             QString("calibrationPressure")); // the transfer's order
    QCOMPARE(changes[2].toObject()["kind"].toString(), QString("cell"));
    QCOMPARE(changes[2].toObject()["row"].toInt(), 2);
    QCOMPARE(changes[2].toObject()["file"].toInt(), 131);

    takeRequestLog();
    const Run unasked = run(onEcu({"restore", other})); // stdin is no terminal
    QCOMPARE(unasked.exit, 2);
    QVERIFY(unasked.err.contains("--yes"));
    QCOMPARE(writesIn(takeRequestLog()), 0);

    const Run restore = run(onEcu({"--json", "restore", other, "--yes"}));
    QVERIFY2(restore.exit == 0, qPrintable(restore.err));
    const QJsonObject result = restore.json();
    QCOMPARE(result["end"].toString(), QString("confirmed"));
    QCOMPARE(result["toWrite"].toInt(), 3);
    QCOMPARE(result["verified"].toBool(), true);
    QCOMPARE(result["confirmed"].toArray().size(), 3);
    QCOMPARE(writesIn(takeRequestLog()), 3); // exactly the differences
    QCOMPARE(ecuSet(), changed);
}

void TestCliRun::pulledPortAndCtrlCDuringRestore()
{
    VehicleSet file = ecuSet();
    for (int cell = 1; cell <= 12; ++cell)
        file.cells[cell] += 1;
    const QString path = dir.filePath("twelve.xls");
    QVERIFY(!writeWorkbookFile(path, file));

    const auto restoreUntil = [&](const QString& progress, const std::function<void(QProcess&)>& cut) {
        QProcess p;
        QString err;
        connect(&p, &QProcess::readyReadStandardError,
                [&] { err += QString::fromUtf8(p.readAllStandardError()); });
        p.start(QStringLiteral(ORVANE_CLI_PROGRAM), onEcu({"restore", path, "--yes"}));
        if (!QTest::qWaitFor([&] { return err.contains(progress) || p.state() == QProcess::NotRunning; },
                             15000))
            p.kill();
        cut(p);
        p.waitForFinished(10000);
        err += QString::fromUtf8(p.readAllStandardError());
        return std::pair{p.exitCode(), err};
    };

    // Ctrl+C: the write stops at a frame boundary and says what the ECU took
    auto [stopped, said] = restoreUntil(
        "2 of 12 values confirmed", [](QProcess& p) { ::kill(static_cast<pid_t>(p.processId()), SIGINT); });
    QCOMPARE(stopped, 5);
    QVERIFY2(said.contains("Archive transfer: writing stopped (stopped by the user)"), qPrintable(said));
    QVERIFY(said.contains("NOT sent to the ECU"));
    int changedCells = 0;
    sim->withEcu([&](VirtualEcu& ecu) {
        for (int cell = 1; cell <= 12; ++cell)
            changedCells += ecu.table[cell] == file.cells[cell];
    });
    QVERIFY(changedCells >= 2 && changedCells < 12);

    // the adapter pulled: the values not confirmed are named
    const QString device = sim->devicePath();
    auto [lost, report] =
        restoreUntil(QStringLiteral("%1 of %2 values confirmed").arg(1).arg(12 - changedCells),
                     [this](QProcess&) { sim.reset(); });
    QCOMPARE(lost, 5);
    QVERIFY2(report.contains("writing stopped (" + device + ": "), qPrintable(report));
    QVERIFY2(report.contains("Cell row 2 column 4"), qPrintable(report));
}

void TestCliRun::endOfLineVerdict()
{
    const auto quickBench = [](VirtualEcu& ecu) { ecu.eolTimeline = {300, 900, 1300, 1700, 2300}; };
    sim->withEcu(quickBench);
    const QString report = dir.filePath("eol.csv");
    const Run good = run(onEcu({"--json", "eol", "--cylinders", "4", "--report", report}));
    QVERIFY2(good.exit == 0, qPrintable(good.err));
    const QJsonObject verdict = good.json();
    QCOMPARE(verdict["verdict"].toString(), QString("PASSED"));
    QCOMPARE(verdict["checks"].toInt(), 43); // 4 x 4 cylinder checks, 2 pair relays, 25 others
    QCOMPARE(verdict["results"].toArray().size(), 43);
    QVERIFY(good.err.contains("RESET OK"));
    QFile csv(report);
    QVERIFY(csv.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = csv.readAll().trimmed().split('\n');
    QCOMPARE(lines.size(), 44);
    QCOMPARE(lines[0], QByteArray("date,program,ecuVersion,port,cylinders,verdict,check,result"));
    QVERIFY(lines[1].contains(",2.1.7,") && lines[1].endsWith(",PASSED,STAT 1,PASS"));

    sim->withEcu([](VirtualEcu& ecu) { ecu.failEolCheck("TPS_ANALOGICO"); });
    const Run bad = run(onEcu({"eol", "--cylinders", "4"}));
    QCOMPARE(bad.exit, 7);
    QCOMPARE(bad.out.trimmed(), QString("FAILED: 1 of 43 checks: TPS_ANALOGICO"));
}

void TestCliRun::statusParameterAndLog()
{
    const QJsonObject info = run(onEcu({"--json", "info"})).json();
    for (const char* key : {"program", "version", "ecuVersion", "port", "settings", "simulated"})
        QVERIFY2(info.contains(key), key);

    const Run status = run(onEcu({"--json", "status"}));
    QCOMPARE(status.exit, 0);
    const QJsonObject live = status.json();
    for (const char* key : {"timeMs", "lambda1", "rpm", "petrolTinj1", "gasTinj8", "pressure", "temperature2",
                            "level", "kgbCor", "ecuState", "ecuStateText", "onPetrol"})
        QVERIFY2(live.contains(key), key);

    const Run set = run(onEcu({"--json", "param", "set", "cutoffRpmThreshold", "1700.5"}));
    QCOMPARE(set.exit, 0);
    QCOMPARE(set.json()["value"].toInt(), 1700); // halves to even
    QCOMPARE(set.json()["verified"].toBool(), true);
    QCOMPARE(run(onEcu({"param", "get", "31"})).out.trimmed(), QString("31 cutoffRpmThreshold 1700 rpm"));

    // a table as a spreadsheet in a comma-decimal locale saves it: semicolons, 131,5 rounds to even
    const VehicleSet before = ecuSet();
    QStringList rows;
    for (int r = 0; r < 8; ++r) {
        QStringList cells;
        for (int c = 1; c <= 8; ++c)
            cells << QString::number(before.cells[8 * r + c]);
        rows << cells.join(';');
    }
    rows[1].replace(QRegularExpression("^\\d+"), "131,5");
    QFile csv(dir.filePath("table.csv"));
    QVERIFY(csv.open(QIODevice::WriteOnly));
    csv.write(rows.join('\n').toUtf8() + '\n');
    csv.close();
    const Run load = run(onEcu({"--json", "table", "load", csv.fileName()}));
    QCOMPARE(load.exit, 0);
    QCOMPARE(load.json()["toWrite"].toInt(), 1);
    QCOMPARE(ecuSet().cells[9], 132);

    const QString log = dir.filePath("drive.csv");
    const Run logged = run(onEcu({"--json", "log", log, "--for", "1500ms"}));
    QCOMPARE(logged.exit, 0);
    QVERIFY(logged.json()["rows"].toInt() >= 3);
    QCOMPARE(run(onEcu({"log", log, "--for", "1s"})).exit, 6); // never over a file
}

QTEST_GUILESS_MAIN(TestCliRun)
#include "test_cli_run.moc"
