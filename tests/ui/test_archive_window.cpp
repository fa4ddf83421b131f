// The parameter archive and the lambda page on a fake link: the test plays the ECU and the user.
#include "archive/vehicle_transfer.h"
#include "archive/workbook_file.h"
#include "link/frames.h"
#include "link/parameter_catalogue.h"
#include "support/fake_dialogs.h"
#include "support/fake_link.h"
#include "support/grab.h"
#include "support/quiet_offscreen.h"
#include "support/window_test.h"
#include "ui/archive/archive_window.h"
#include "ui/params/lambda_page.h"
#include "ui/status/status_window.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

class TestArchiveWindow : public FakeLinkWindowTest {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        quietOffscreenWarnings();
        QStandardPaths::setTestModeEnabled(true);
    }
    void init();
    void cleanup() { stopAll(); }

    void defaultsPaceDependsOnTheFirstAcknowledgement();
    void storeOnPcWritesTheEcusSet();
    void cancelledDialogsTouchNoFile();
    void transferShowsTheChangesThenWalksInOrder();
    void changesNameTheValueAndTheFileWhole();
    void equalFileSendsNothing();
    void cancelAtTheChangesSendsNothing();
    void exitMidTransferSaysWhatIsLeft();
    void refusedWorkbookSaysWhy();
    void walkOrderAndNotConnectedLook();
    void lostPortStopsTheTransfer();
    void staleValuesAreNeitherStoredNorCompared();
    void lambdaPageWritesInItsOrder();
    void lambdaPageRefusesBadBoxes();
    void anotherWriterBlocksStoreDefaultsAndTransferBeforeAnyQuestion();
    void exitAfterTheEcuWentSilentSaysBoth();

private:
    ArchiveWindow* archive() { return app->navigator.window<ArchiveWindow>(WindowId::Archive); }
    LambdaPage* lambda() { return app->navigator.window<LambdaPage>(WindowId::LambdaPage); }
    void answer(int code, const QByteArray& payload = {})
    {
        app->dispatcher.onSerialEvent(frames::frame(code, payload));
    }
    // The ECU echoes the last write it was sent.
    void echoLast()
    {
        const QByteArray& f = link->sent.last();
        answer(frames::byteAt(f, 5), f.mid(5));
    }
    QString file(const char* name) const { return dir.path() + QLatin1Char('/') + QLatin1String(name); }
    QString line() { return control<QLabel>("Form5", "TransferLine")->text(); }
    // A workbook holding the ECU's set with some values changed.
    QString workbookWith(const std::function<void(VehicleSet&)>& change, const char* name = "vehicle.xls")
    {
        VehicleSet set = vehicleSetOf(app->state);
        change(set);
        const QString path = file(name);
        if (writeWorkbookFile(path, set)) qFatal("cannot write the test workbook");
        return path;
    }
    QList<int> writtenKeys() const
    {
        QList<int> keys;
        for (const QByteArray& f : link->sent) {
            if (frames::byteAt(f, 5) == 2) keys << frames::byteAt(f, 7);
            if (frames::byteAt(f, 5) == 9) keys << 100 + frames::byteAt(f, 6);
        }
        return keys;
    }

    QTemporaryDir dir;
};

void TestArchiveWindow::init()
{
    startOnFakeLink();
    app->start();
    click("Form1", "Command1");
    app->state.versionReceived = app->state.parametersReceived = app->state.tableReceived = 1;
    for (int id = 1; id <= kParameterCount; ++id)
        app->state.parameterValues[id] = app->state.pendingParameterValues[id] = 100 + id;
    for (int cell = 1; cell <= kTableCellCount; ++cell)
        app->state.tableCells[cell] = app->state.pendingTableCells[cell] = cell;
    app->state.parameterValues[param::lambda1SensorType] = 0;
    app->state.pendingParameterValues[param::lambda1SensorType] = 0;
    menu()->handshakeTick();
    click("Form2", "Command4");
    QCOMPARE(activeName(), QString("Form5"));
    link->sent.clear();
}

void TestArchiveWindow::defaultsPaceDependsOnTheFirstAcknowledgement()
{
    auto* timer = form("Form5")->findChild<QTimer*>("Timer1");
    click("Form5", "Command7");
    QCOMPARE(link->count(5), 1);
    QVERIFY(!control<QPushButton>("Form5", "Command1")->isEnabled());
    QVERIFY(control<QPushButton>("Form5", "Command8")->isEnabled());
    answer(5); // acknowledged before the first tick: the parameters are asked every 500 ms
    archive()->defaultsTick();
    QCOMPARE(link->count(1), 1);
    QCOMPARE(timer->interval(), 500);
    answer(1, QByteArray(122, '\0'));
    archive()->defaultsTick(); // the table too: the defaults may have reset it
    QCOMPARE(link->count(8), 1);
    answer(8, QByteArray(64, '\0'));
    archive()->defaultsTick();
    QVERIFY(!timer->isActive());
    QVERIFY(control<QPushButton>("Form5", "Command1")->isEnabled());

    click("Form5", "Command7");
    archive()->defaultsTick(); // no acknowledgement yet: every 2000 ms from now on
    QCOMPARE(link->count(5), 3);
    QCOMPARE(timer->interval(), 2000);
    answer(5);
    archive()->defaultsTick();
    QCOMPARE(link->count(1), 2);
    QCOMPARE(timer->interval(), 2000);
    // leaving before the parameters are read back: the read goes on, and nothing stores until it is done
    click("Form5", "Command8");
    QVERIFY(app->writeSession.ecuUnverified());
    click("Form2", "Command4");
    click("Form5", "Command9");
    QVERIFY(control<QLabel>("Form12", "Label1")->text().contains("vengono riletti"));
    answer(1, QByteArray(122, '\0'));
    answer(8, QByteArray(64, '\0'));
    QVERIFY(!app->writeSession.ecuUnverified());

    // left before the ECU acknowledged: it may or may not have taken them, and is read again
    click("Form5", "Command7");
    click("Form5", "Command8");
    QVERIFY(control<QLabel>("Form12", "Label1")->text().contains("default"));
    QVERIFY(app->writeSession.ecuUnverified());
}

void TestArchiveWindow::storeOnPcWritesTheEcusSet()
{
    dialogs.answer = file("car"); // typed without extension
    click("Form5", "Command9");
    QVERIFY(
        dialogs.asked.constFirst().startsWith("save Seleziona vettura " + ArchiveWindow::vehicleFolder()));
    QVERIFY(QDir(ArchiveWindow::vehicleFolder()).exists());
    const auto read = readWorkbookFile(file("car.xls"));
    QVERIFY(std::holds_alternative<VehicleSet>(read));
    QCOMPARE(std::get<VehicleSet>(read), vehicleSetOf(app->state));
    QCOMPARE(app->state.archiveFileName, file("car.xls"));
    QVERIFY(line().contains("car.xls"));
    QVERIFY(control<QPushButton>("Form5", "Command9")->isEnabled());
    QVERIFY(link->sent.isEmpty()); // the ECU is not asked again

    dialogs.answer = dir.path() + "/no-such-folder/car.xls";
    click("Form5", "Command9");
    QVERIFY(control<QLabel>("Form12", "Label1")->text().contains("no-such-folder/car.xls"));
}

void TestArchiveWindow::cancelledDialogsTouchNoFile()
{
    dialogs.answer = file("last.xls");
    click("Form5", "Command9");
    const QByteArray before = [&] {
        QFile f(file("last.xls"));
        f.open(QIODevice::ReadOnly);
        return f.readAll();
    }();
    app->state.parameterValues[1] = 7;
    dialogs.answer.clear();
    click("Form5", "Command9"); // cancelled: the last vehicle's file stays as it was
    QFile f(file("last.xls"));
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), before);
    click("Form5", "Command5"); // cancelled: nothing read, nothing sent
    QCOMPARE(dialogs.confirmations, 0);
    QVERIFY(link->sent.isEmpty());
    QVERIFY(control<QPushButton>("Form5", "Command5")->isEnabled());
    QVERIFY(!form("Form5")->findChild<QTimer*>("Timer2")->isActive());
}

void TestArchiveWindow::transferShowsTheChangesThenWalksInOrder()
{
    dialogs.answer = workbookWith([](VehicleSet& set) {
        set.cells[64] = 200;
        set.parameters[23] = 4000;
        set.parameters[19] = 900;
    });
    click("Form5", "Command5");
    QCOMPARE(dialogs.confirmations, 1);
    // the difference view: the count, then every change in the transfer's order, the ECU's value first
    QCOMPARE(dialogs.confirmText,
             QString("Il file vehicle.xls cambia 3 valori della centralina (2 parametri, 1 celle della "
                     "tabella). Inviarli?"));
    QCOMPARE(
        dialogs.confirmDetails,
        QStringList({"MIN LIVELLO (parametro 19): centralina 119 mV -> file 900 mV",
                     "SOGLIA GIRI INSERIMENTO CORRETTIVO PRESSIONE (parametro 23): centralina 123 rpm -> "
                     "file 4000 rpm",
                     "Cella riga 8 colonna 8: centralina 64 -> file 200"}));
    // the first value is not echoed yet: it goes out again on every tick and nothing behind it
    for (int tick = 0; tick < 3; ++tick)
        archive()->transferTick();
    QCOMPARE(writtenKeys(), (QList<int>{19, 19, 19}));
    echoLast();
    archive()->transferTick();
    QCOMPARE(link->sent.last(), *frames::writeParameter(23, 4000));
    QVERIFY(line().startsWith("1 di 3 valori confermati"));
    echoLast();
    archive()->transferTick();
    QCOMPARE(link->sent.last(), *frames::writeTableCell(64, 200));
    for (int send = 2; send <= 10; ++send)
        archive()->transferTick();
    QVERIFY(!line().contains("in attesa"));
    archive()->transferTick(); // ten sends unconfirmed: the user is told what holds the walk
    QVERIFY(line().contains("in attesa della centralina per Cella riga 8 colonna 8"));
    echoLast();
    archive()->transferTick();
    QVERIFY(line().startsWith("Trasferimento completato"));
    QVERIFY(control<QPushButton>("Form5", "Command5")->isEnabled());
    QCOMPARE(app->state.tableCells[64], 200);
}

void TestArchiveWindow::changesNameTheValueAndTheFileWhole()
{
    // a vehicle's name may hold what looks like a placeholder
    dialogs.answer = workbookWith([](VehicleSet& set) { set.parameters[param::lambda1LeanThreshold] = 320; },
                                  "Punto %2 v%1.xls");
    dialogs.confirmAnswer = false;
    click("Form5", "Command5");
    QCOMPARE(dialogs.confirmText,
             QString("Il file Punto %2 v%1.xls cambia 1 valori della centralina (1 parametri, "
                     "0 celle della tabella). Inviarli?"));
    QCOMPARE(dialogs.confirmDetails,
             QStringList({"LAMBDA1 - SOGLIA MAGRO (parametro 4): centralina 104 mV -> file 320 mV"}));
    click("Form1", "Command4");
    click("Form5", "Command5");
    QCOMPARE(dialogs.confirmText,
             QString("The file Punto %2 v%1.xls changes 1 values of the ECU (1 parameters, "
                     "0 table cells). Send them?"));
    QCOMPARE(dialogs.confirmDetails,
             QStringList({"OXYGEN SENSOR1 - Lean threshold (parameter 4): ECU 104 mV -> file 320 mV"}));
    QVERIFY(dialogs.asked.last().startsWith("open Select vehicle "));
    QVERIFY(link->sent.isEmpty());
}

void TestArchiveWindow::equalFileSendsNothing()
{
    dialogs.answer = workbookWith([](VehicleSet&) {});
    click("Form5", "Command5");
    QCOMPARE(dialogs.confirmations, 0);
    archive()->transferTick();
    QVERIFY(link->sent.isEmpty());
    QVERIFY(line().contains("stessi valori"));
    QVERIFY(control<QPushButton>("Form5", "Command5")->isEnabled());
}

void TestArchiveWindow::cancelAtTheChangesSendsNothing()
{
    dialogs.answer = workbookWith([](VehicleSet& set) { set.parameters[4] = 1; });
    dialogs.confirmAnswer = false;
    const auto pending = app->state.pendingParameterValues;
    click("Form5", "Command5");
    QCOMPARE(app->state.pendingParameterValues, pending);
    archive()->transferTick();
    QVERIFY(link->sent.isEmpty());
    QVERIFY(control<QPushButton>("Form5", "Command5")->isEnabled());
}

void TestArchiveWindow::exitMidTransferSaysWhatIsLeft()
{
    dialogs.answer = workbookWith([](VehicleSet& set) {
        set.parameters[1] = 1;
        set.cells[5] = 99;
    });
    click("Form5", "Command5");
    archive()->transferTick();
    click("Form5", "Command8");
    QVERIFY(!form("Form5")->findChild<QTimer*>("Timer2")->isActive());
    QCOMPARE(control<QLabel>("Form12", "Label1")->text(),
             QString("Trasferimento archivio: scrittura interrotta (fermata dall'utente).\n"
                     "Confermati dalla centralina: 0 di 2 valori.\n"
                     "Inviato ma non confermato (la centralina potrebbe averlo ricevuto): NUMERO "
                     "INIETTORI (parametro 1)\n"
                     "NON inviati alla centralina (1):\n"
                     "Cella riga 1 colonna 5\n"
                     "I valori della centralina vengono riletti."));
    // what was not sent is dropped: no later walk sends the abandoned file's values; the frame on
    // the wire keeps its value, so that its late echo is still the ECU's
    QCOMPARE(app->state.pendingTableCells, app->state.tableCells);
    QCOMPARE(app->state.pendingParameterValues[1], 1);
    answer(2, QByteArray("\x00\x01\x00\x01", 4));
    QCOMPARE(app->state.parameterValues[1], 1);
    // and nothing is stored or compared until the ECU has been read again
    QCOMPARE(link->sent.last(), frames::readAllParameters());
    click("Form2", "Command4");
    click("Form5", "Command9");
    QVERIFY(control<QLabel>("Form12", "Label1")->text().contains("vengono riletti"));
    answerReadBack();
    QVERIFY(!app->writeSession.ecuUnverified());
}

void TestArchiveWindow::walkOrderAndNotConnectedLook()
{
    const QList<int> order(transferParameterOrder().begin(), transferParameterOrder().end());
    QCOMPARE(order,
             (QList<int>{19, 20, 16, 17, 18, 2,  1,  29, 28, 10, 11, 12, 14, 15, 13, 30, 59, 60, 31, 32,
                         33, 21, 22, 24, 26, 27, 3,  4,  5,  25, 23, 50, 51, 52, 6,  7,  8,  9,  53, 54,
                         55, 56, 58, 57, 34, 35, 36, 37, 38, 39, 40, 41, 42, 43, 44, 45, 46, 47, 48, 49}));
    QCOMPARE(transferCellOrder().front(), 1);
    QCOMPARE(transferCellOrder().back(), 64);
    QCOMPARE(form("Form5")->findChild<QTimer*>("Timer2")->interval(), 200);

    click("Form5", "Command8");
    click("Form2", "Command1");
    click("Form1", "Command7");
    click("Form1", "Command1");
    click("Form2", "Command4");
    for (const char* ecuAction : {"Command5", "Command7", "Command9"})
        QVERIFY(!control<QPushButton>("Form5", ecuAction)->isEnabled());
    for (const char* page : {"Command1", "Command2", "Command3", "Command4", "Command6", "Command8"})
        QVERIFY(control<QPushButton>("Form5", page)->isEnabled());
    QCOMPARE(form("Form5")->windowTitle(), QString("ORVANE - Visualizza parametri centralina Non connesso"));
}

void TestArchiveWindow::refusedWorkbookSaysWhy()
{
    QFile junk(file("junk.xls"));
    QVERIFY(junk.open(QIODevice::WriteOnly));
    junk.write("not a workbook");
    junk.close();
    dialogs.answer = junk.fileName();
    app->state.languageIndex = 2;
    click("Form5", "Command5");
    QCOMPARE(control<QLabel>("Form12", "Label1")->text(), QString("The file is not an .xls workbook"));
    QVERIFY(link->sent.isEmpty());
}

void TestArchiveWindow::lambdaPageWritesInItsOrder()
{
    grabIfAsked(form("Form5"), "form5");
    click("Form5", "Command1");
    QCOMPARE(activeName(), QString("Form6"));
    grabIfAsked(form("Form6"), "form6");
    QVERIFY(control<QRadioButton>("Form6", "Option1_0")->isChecked());
    QCOMPARE(control<QLineEdit>("Form6", "Text6")->text(),
             QString::number(100 + param::lambda1LeanThreshold));
    QVERIFY(!form("Form6")->findChild<QWidget*>("Emulation1")->isVisible());
    for (const char* box : {"Text3", "Text5", "Text6", "Text7", "Text8"})
        QVERIFY(control<QLineEdit>("Form6", box)->isReadOnly()); // read mode locks every box
    QCOMPARE(form("Form6")->findChild<QTimer*>("Timer1")->interval(), 500);
    auto* page = lambda();

    control<QRadioButton>("Form6", "Option4")->click(); // write mode
    control<QRadioButton>("Form6", "Option1_2")->click();
    control<QRadioButton>("Form6", "Option2_1")->click();
    auto* lean = control<QLineEdit>("Form6", "Text6");
    lean->selectAll();
    QTest::keyClicks(lean, " 350 ");
    click("Form6", "Command2");
    page->writeTick();
    QCOMPARE(link->sent.last(), *frames::writeParameter(3, 2));
    page->writeTick(); // not confirmed: the same again, 50 waits
    QCOMPARE(link->sent.last(), *frames::writeParameter(3, 2));
    echoLast();
    // the confirmed type switches the status window's bar scale
    QCOMPARE(app->state.lambda1FullScale, 1000);
    page->writeTick();
    QCOMPARE(link->sent.last(), QByteArray("PC\x00\x09\x02\x00\x04\x01\x5E", 9));
    answer(2, QByteArray("\x00\x04\x01\x5F", 4)); // a wrong echo changes nothing
    page->writeTick();
    QCOMPARE(link->sent.last(), QByteArray("PC\x00\x09\x02\x00\x04\x01\x5E", 9));
    echoLast();
    page->writeTick();
    QCOMPARE(link->sent.last(), *frames::writeParameter(50, 1));
    echoLast();
    page->writeTick();
    QVERIFY(!page->writing());
    QVERIFY(control<QRadioButton>("Form6", "Option3")->isChecked());
}

void TestArchiveWindow::lambdaPageRefusesBadBoxes()
{
    click("Form5", "Command1");
    control<QRadioButton>("Form6", "Option4")->click();
    auto* rich = control<QLineEdit>("Form6", "Text7");
    rich->selectAll();
    QTest::keyClicks(rich, "abc");
    click("Form6", "Command2");
    QVERIFY(control<QLabel>("Form12", "Label1")->text().startsWith("LAMBDA2 - Soglia ricco"));
    lambda()->writeTick();
    QVERIFY(link->sent.isEmpty());
}

void TestArchiveWindow::lostPortStopsTheTransfer()
{
    dialogs.answer = workbookWith([](VehicleSet& set) { set.parameters[2] = 1; });
    click("Form5", "Command5");
    archive()->transferTick();
    link->pull();
    click("Form12", "Command1");
    archive()->transferTick();
    QVERIFY(!form("Form5")->findChild<QTimer*>("Timer2")->isActive());
    // the reason stays with what is left, in the one message window
    const QString report = control<QLabel>("Form12", "Label1")->text();
    QVERIFY2(report.contains("dispositivo scollegato") && report.contains("parametro 2"), qPrintable(report));
    QVERIFY(report.contains("alla prossima connessione (MENU)"));
    QVERIFY(line().contains("interrotto"));
    QCOMPARE(link->count(2), 1); // nothing counted as sent that could not go out
}

void TestArchiveWindow::staleValuesAreNeitherStoredNorCompared()
{
    // a dot in the vehicle's name is not an extension
    dialogs.answer = file("Fiat Punto 1.2");
    click("Form5", "Command9");
    QVERIFY(QFile::exists(file("Fiat Punto 1.2.xls")));
    QCOMPARE(dialogs.confirmations, 0);
    // the same vehicle again: the dialog never saw the name with its extension, so this asks
    QFile::resize(file("Fiat Punto 1.2.xls"), 10);
    dialogs.confirmAnswer = false;
    click("Form5", "Command9");
    QCOMPARE(dialogs.confirmations, 1);
    QVERIFY(dialogs.confirmText.contains("Fiat Punto 1.2.xls"));
    QCOMPARE(QFileInfo(file("Fiat Punto 1.2.xls")).size(), 10);
    dialogs.confirmAnswer = true;
    click("Form5", "Command9");
    QVERIFY(QFileInfo(file("Fiat Punto 1.2.xls")).size() > 10);

    app->writeSession.startReadBack(); // a write that did not complete: the ECU is being read again
    dialogs.answer = file("stale.xls");
    click("Form5", "Command9");
    QVERIFY(!QFile::exists(file("stale.xls")));
    QVERIFY(control<QLabel>("Form12", "Label1")->text().contains("vengono riletti"));
    dialogs.confirmations = 0;
    click("Form12", "Command1");
    click("Form5", "Command5");
    QCOMPARE(dialogs.confirmations, 0);
    QVERIFY(control<QLabel>("Form12", "Label1")->text().contains("vengono riletti"));
}

void TestArchiveWindow::anotherWriterBlocksStoreDefaultsAndTransferBeforeAnyQuestion()
{
    // a page write under way, the archive clicked from behind it
    click("Form5", "Command1");
    control<QRadioButton>("Form6", "Option4")->click();
    auto* lean = control<QLineEdit>("Form6", "Text6");
    lean->selectAll();
    QTest::keyClicks(lean, "350");
    click("Form6", "Command2");
    QVERIFY(lambda()->writing());
    app->navigator.activatedByUser(form("Form5"));
    dialogs.answer = file("half.xls");
    for (const char* button : {"Command9", "Command7", "Command5"}) {
        click("Form5", button);
        QVERIFY2(control<QLabel>("Form12", "Label1")->text().contains("\"ORVANE - Parametri lambda\""),
                 button);
        click("Form12", "Command1");
    }
    // no dialog, no question, no half-written vehicle on the disk
    QVERIFY(dialogs.asked.isEmpty());
    QCOMPARE(dialogs.confirmations, 0);
    QVERIFY(!QFile::exists(file("half.xls")));
    QVERIFY(lambda()->writing());
}

void TestArchiveWindow::exitAfterTheEcuWentSilentSaysBoth()
{
    dialogs.answer = workbookWith([](VehicleSet& set) { set.cells[7] = 70; });
    click("Form5", "Command5");
    for (int send = 1; send <= 14; ++send)
        archive()->transferTick();
    click("Form5", "Command8");
    QVERIFY2(control<QLabel>("Form12", "Label1")
                 ->text()
                 .startsWith(
                     "Trasferimento archivio: scrittura interrotta (fermata dall'utente; la centralina non "
                     "aveva confermato Cella riga 1 colonna 7, inviato 14 volte)."),
             qPrintable(control<QLabel>("Form12", "Label1")->text()));
}

QTEST_MAIN(TestArchiveWindow)
#include "test_archive_window.moc"
