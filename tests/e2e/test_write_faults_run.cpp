// Writes to a virtual ECU that misbehaves, over the real serial link: what the windows then say
// and store must be what the ECU holds.
#include "archive/workbook_file.h"
#include "link/parameter_catalogue.h"
#include "sim/virtual_ecu.h"
#include "support/grab.h"
#include "support/quiet_offscreen.h"
#include "support/window_test.h"
#include "ui/params/parameter_page.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>

class TestWriteFaultsRun : public VirtualEcuWindowTest {
    Q_OBJECT
private slots:
    void initTestCase() { quietOffscreenWarnings(); }
    void init()
    {
        QVERIFY(startOnVirtualEcu());
        app->start();
        QVERIFY(connectToEcu());
        click("Form2", "Command4");
    }
    void cleanup() { stopAll(); }

    void exitWithAFrameOnTheWireThenStoreOnPcHoldsWhatTheEcuHolds();
    void aSecondWriterIsRefusedAndTheTransferCompletes();
    void aPulledPortStopsAPageWriteWithAReport();

private:
    // A workbook of the vehicle the program holds, changed by `change`.
    QString workbookWith(const std::function<void(VehicleSet&)>& change)
    {
        VehicleSet set = vehicleSetOf(app->state);
        change(set);
        const QString path = dir.path() + QStringLiteral("/vehicle.xls");
        if (writeWorkbookFile(path, set)) qFatal("cannot write the test workbook");
        return path;
    }
    VehicleSet ecuHolds()
    {
        VehicleSet held;
        sim->withEcu([&held](VirtualEcu& ecu) {
            for (int id = 1; id <= kArchivedParameterCount; ++id)
                held.parameters[id] = ecu.parameters[id];
            held.cells = ecu.table;
        });
        return held;
    }
    int writesTaken()
    {
        int n = 0;
        sim->withEcu([&n](VirtualEcu& ecu) {
            n = static_cast<int>(std::count(ecu.requestLog.begin(), ecu.requestLog.end(), 2));
        });
        return n;
    }
    QString message() { return control<QLabel>("Form12", "Label1")->text(); }
    void typeInto(const char* formName, const char* box, int value)
    {
        auto* edit = control<QLineEdit>(formName, box);
        edit->selectAll();
        QTest::keyClicks(edit, QString::number(value));
    }

    QTemporaryDir dir;
};

void TestWriteFaultsRun::exitWithAFrameOnTheWireThenStoreOnPcHoldsWhatTheEcuHolds()
{
    // the echo crosses a slow line: it comes after the user has left
    sim->withEcu([](VirtualEcu& ecu) { ecu.faults.echoDelayMs = 700; });
    dialogs.answer = workbookWith([](VehicleSet& set) {
        set.parameters[19] += 5; // first in the transfer's order
        set.parameters[4] += 5;
        set.cells[9] += 1;
    });
    click("Form5", "Command5");
    QTRY_VERIFY_WITH_TIMEOUT(writesTaken() >= 1, 3000);
    click("Form5", "Command8");
    QVERIFY2(message().contains("potrebbe averlo ricevuto): MIN LIVELLO (parametro 19)"),
             qPrintable(message()));

    // the late echo and the read-back make the program's copy the ECU's again
    QTRY_VERIFY_WITH_TIMEOUT(!app->writeSession.ecuUnverified(), 8000);
    const VehicleSet held = ecuHolds();
    QCOMPARE(app->state.parameterValues[19], held.parameters[19]);

    dialogs.answer = dir.path() + QStringLiteral("/after.xls");
    click("Form2", "Command4");
    click("Form5", "Command9");
    const auto stored = readWorkbookFile(dialogs.answer);
    QVERIFY(std::holds_alternative<VehicleSet>(stored));
    const VehicleSet& file = std::get<VehicleSet>(stored);
    for (int id = 1; id <= kArchivedParameterCount; ++id)
        QCOMPARE(file.parameters[id], held.parameters[id]);
    QCOMPARE(file.cells, held.cells);
}

void TestWriteFaultsRun::aSecondWriterIsRefusedAndTheTransferCompletes()
{
    // a page open in write mode, then the archive's transfer from behind it
    click("Form5", "Command1");
    control<QRadioButton>("Form6", "Option4")->click();
    typeInto("Form6", "Text6", app->state.parameterValues[param::lambda1LeanThreshold] + 11);
    app->navigator.activatedByUser(form("Form5"));
    // the ECU loses the first write of every value: each is sent at least twice
    sim->withEcu([](VirtualEcu& ecu) { ecu.faults.dropFirstWrite = true; });
    dialogs.answer = workbookWith([](VehicleSet& set) {
        for (int id : {19, 20, 16, 4, 25})
            set.parameters[id] += 3;
        for (int cell : {1, 30, 64})
            set.cells[cell] = (set.cells[cell] + 7) % 256;
    });
    const VehicleSet wanted = std::get<VehicleSet>(readWorkbookFile(dialogs.answer));
    click("Form5", "Command5");
    QTRY_VERIFY_WITH_TIMEOUT(writesTaken() >= 1, 3000);

    // the page's own write is refused, naming the transfer; the transfer's values stay wanted
    app->navigator.activatedByUser(form("Form6"));
    click("Form6", "Command2");
    QVERIFY2(message().contains("\"Trasferimento archivio\""), qPrintable(message()));
    QVERIFY(!app->navigator.window<ParameterPage>(WindowId::LambdaPage)->writing());

    QTRY_VERIFY_WITH_TIMEOUT(control<QPushButton>("Form5", "Command5")->isEnabled(), 20000);
    QVERIFY(control<QLabel>("Form5", "TransferLine")->text().startsWith("Trasferimento completato"));
    const VehicleSet held = ecuHolds();
    for (int id = 1; id <= kArchivedParameterCount; ++id)
        QCOMPARE(held.parameters[id], wanted.parameters[id]);
    QCOMPARE(held.cells, wanted.cells);
}

void TestWriteFaultsRun::aPulledPortStopsAPageWriteWithAReport()
{
    sim->withEcu([](VirtualEcu& ecu) { ecu.faults.neverConfirmParameter = param::lambda1LeanThreshold; });
    click("Form5", "Command1");
    auto* page = app->navigator.window<ParameterPage>(WindowId::LambdaPage);
    page->findChild<QTimer*>("Timer1")->setInterval(50); // the patience runs out sooner
    control<QRadioButton>("Form6", "Option4")->click();
    typeInto("Form6", "Text6", app->state.parameterValues[param::lambda1LeanThreshold] + 9);
    click("Form6", "Command2");
    auto* line = control<QLabel>("Form6", "WriteLine");
    QTRY_VERIFY_WITH_TIMEOUT(
        line->text().contains("in attesa della centralina per LAMBDA1 - SOGLIA MAGRO (parametro 4)"), 5000);
    grabIfAsked(page, "form6_write_waiting");

    const QString port = sim->devicePath();
    sim.reset(); // the adapter is pulled
    QTRY_VERIFY_WITH_TIMEOUT(!page->writing(), 3000);
    // the reason the link gave stays in the one message shown, with what was left
    const QString report = message();
    QVERIFY2(report.startsWith("ORVANE - Parametri lambda: scrittura interrotta (" + port + ": ") &&
                 report.contains("potrebbe averlo ricevuto): LAMBDA1 - SOGLIA MAGRO (parametro 4)") &&
                 report.contains("alla prossima connessione (MENU)"),
             qPrintable(report));
    QVERIFY(line->text().isEmpty());
    QCOMPARE(page->cursor().shape(), Qt::ArrowCursor);
    grabIfAsked(form("Form12"), "form12_write_report_port_lost");
}

QTEST_MAIN(TestWriteFaultsRun)
#include "test_write_faults_run.moc"
