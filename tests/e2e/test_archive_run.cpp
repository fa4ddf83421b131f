// A vehicle's set kept on the PC and sent back to the virtual ECU over the real serial link.
#include "archive/workbook_file.h"
#include "link/parameter_catalogue.h"
#include "sim/virtual_ecu.h"
#include "support/fake_dialogs.h"
#include "support/quiet_offscreen.h"
#include "support/window_test.h"
#include "ui/archive/archive_window.h"

#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

class TestArchiveRun : public VirtualEcuWindowTest {
    Q_OBJECT
private slots:
    void initTestCase() { quietOffscreenWarnings(); }
    void init() { QVERIFY(startOnVirtualEcu()); }
    void cleanup() { stopAll(); }

    void storeRestoreDefaultsAndSendBack();
};

void TestArchiveRun::storeRestoreDefaultsAndSendBack()
{
    // the car as it was calibrated
    OneBased<int, kParameterCount> vehicle = VirtualEcu::defaultParameters();
    vehicle[4] = 350;
    vehicle[19] = 610;
    vehicle[23] = 2100;
    OneBased<int, kTableCellCount> table = VirtualEcu::defaultTable();
    table[1] = 17;
    table[64] = 201;
    sim->withEcu([&](VirtualEcu& ecu) {
        ecu.parameters = vehicle;
        ecu.table = table;
    });
    QTemporaryDir dir;
    dialogs.answer = dir.path() + "/car.xls";
    app->start();
    QVERIFY(connectToEcu());
    click("Form2", "Command4");

    click("Form5", "Command9");
    QVERIFY(control<QLabel>("Form5", "TransferLine")->text().contains("car.xls"));

    // the ECU back to its defaults, read back by the window's own timer
    click("Form5", "Command7");
    QTRY_VERIFY_WITH_TIMEOUT(control<QPushButton>("Form5", "Command5")->isEnabled(), 8000);
    QCOMPARE(app->state.parameterValues[4], VirtualEcu::defaultParameters()[4]);

    click("Form5", "Command5");
    int differing = 0;
    for (int id = 1; id <= kArchivedParameterCount; ++id)
        differing += vehicle[id] != VirtualEcu::defaultParameters()[id];
    for (int cell = 1; cell <= kTableCellCount; ++cell)
        differing += table[cell] != VirtualEcu::defaultTable()[cell];
    QVERIFY(differing >= 4);
    QCOMPARE(dialogs.confirmDetails.size(), differing);
    QTRY_VERIFY_WITH_TIMEOUT(control<QPushButton>("Form5", "Command5")->isEnabled(), 8000);
    OneBased<int, kParameterCount> held;
    OneBased<int, kTableCellCount> heldTable;
    sim->withEcu([&](VirtualEcu& ecu) {
        held = ecu.parameters;
        heldTable = ecu.table;
    });
    QCOMPARE(held, vehicle);
    QCOMPARE(heldTable, table);

    // the file as a spreadsheet program reads it: parameters in column A, the table in C1:J8
    const QString ssconvert = QStandardPaths::findExecutable("ssconvert");
    if (ssconvert.isEmpty()) QSKIP("ssconvert (gnumeric) is not installed");
    QProcess convert;
    convert.start(ssconvert, {dialogs.answer, dir.path() + "/car.csv"});
    QVERIFY(convert.waitForFinished(30000));
    QFile csv(dir.path() + "/car.csv");
    QVERIFY(csv.open(QIODevice::ReadOnly));
    const QList<QByteArray> rows = csv.readAll().split('\n');
    QCOMPARE(rows[3].split(',')[0], QByteArray("350"));
    QCOMPARE(rows[0].split(',')[2], QByteArray("17"));
    QCOMPARE(rows[7].split(',')[9], QByteArray("201"));
}

QTEST_MAIN(TestArchiveRun)
#include "test_archive_run.moc"
