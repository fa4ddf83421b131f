// Recording a drive from the status and calibration windows on the virtual ECU, and reading it back
// in the viewer: one row per reply with what the window showed, a full disk that stops only the
// recording, files that are not ours or are cut short.
#include "archive/datalog.h"
#include "link/frames.h"
#include "sim/virtual_ecu.h"
#include "support/fake_dialogs.h"
#include "support/file_size_limit.h"
#include "support/grab.h"
#include "support/quiet_offscreen.h"
#include "support/window_test.h"
#include "ui/calibration/calibration_window.h"
#include "ui/common/datalog_recorder.h"
#include "ui/datalog/datalog_plot.h"
#include "ui/datalog/datalog_viewer.h"
#include "ui/status/status_window.h"

#include <QApplication>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QScrollBar>
#include <QStandardPaths>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <cmath>

class TestDatalogRun : public VirtualEcuWindowTest {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        quietOffscreenWarnings();
        QStandardPaths::setTestModeEnabled(true);
    }
    void init()
    {
        QVERIFY(startOnVirtualEcu());
        dialogs = FakeDialogs();
        app->start();
    }
    void cleanup() { stopAll(); }

    void statusDriveReadsBackWithWhatTheWindowShowed();
    void calibrationDriveIsRecordedAndClosedByExit();
    void automaticCalibrationIsRecordedWithItsDecisions();
    void writeErrorStopsTheRecordingNotThePolling();
    void lostLinkClosesTheFileWhole();
    void twoRecordingsInOneSecondGetTwoFiles();
    void viewerRefusesForeignFilesAndSaysWhenCut();
    void viewerZoomsScrollsAndHidesChannels();
    void viewerSharesAScalePerUnitAndBreaksLinesAtNc();
    void viewerDrawsASensorThatComesAndGoesAsOneLine();
    void viewerSaysWhichDamagedRowsItSkipped();
    void viewerShowsTheFuelAndJumpsToMarkers();
    void viewerOverlaysASecondDrive();

private:
    DatalogRecorder* recorderOf(const char* formName)
    {
        return form(formName)->findChild<DatalogRecorder*>(QStringLiteral("datalogRecorder"));
    }
    bool openStatus()
    {
        if (!connectToEcu()) return false;
        click("Form2", "Command3");
        return QTest::qWaitFor([this] { return app->navigator.isOpen(WindowId::Status); }, 3000);
    }
    QString messageShown() { return control<QLabel>("Form12", "Label1")->text(); }
    DatalogViewer* viewer() { return app->navigator.window<DatalogViewer>(WindowId::DatalogViewer); }
    DatalogViewer* openViewer()
    {
        dialogs.answer.clear(); // the user cancels the file: the viewer stays open, empty
        click("Form1", "OpenDatalog");
        return viewer();
    }
    template <typename T> T* viewerControl(const char* name)
    {
        T* c = viewer()->findChild<T*>(QString::fromLatin1(name));
        if (!c) qFatal("no control %s in the viewer", name);
        return c;
    }
    // A status datalog of `rows` rows, 300 ms apart, every value its row number.
    QString writeLog(const QString& name, int rows, Language language = Language::English)
    {
        const QString path = tmp.filePath(name);
        DatalogWriter writer;
        if (writer.open(path, DatalogSource::Status, language) != DatalogWriter::Result::Ok) return {};
        const std::vector<int> row(datalogChannels(DatalogSource::Status).size(), 0);
        for (int r = 0; r < rows; ++r) {
            std::vector<int> values(row.size(), r);
            writer.append(r * 300, values);
        }
        writer.close();
        return path;
    }

    // A drive as the analysis reads it, built here: oxygen sensor 1 answers only now and then,
    // petrol for the first half, no fuel known for a fifth, gas after; 300 ms a row.
    static Datalog drive(int rows)
    {
        static const DatalogChannel channels[] = {
            {"lambda1", {"Lambda1", "Oxygen sensor1", "Lambda1"}, "mV", true},
            {"rpm", {"Giri", "RPM", "Devir"}, "x min", true},
            {"pressure", {"Pressione", "Pressure", "Basinc"}, "mbar", true},
            {"temperature1", {"Temperatura", "Temperature", "Derece"}, "°C", true},
            {"fuel", {"Carburante", "Fuel", "Yakit"}, ""},
        };
        Datalog log;
        log.status = Datalog::Status::Ok;
        log.channels = channels;
        log.values.assign(std::size(channels), {});
        int left = 4, run = 0;
        bool present = true;
        for (int r = 0; r < rows; ++r) {
            log.timesMs.push_back(r * 300.0);
            log.values[0].push_back(present ? 450 + 400 * std::sin(r * 0.05) : qQNaN());
            if (--left == 0) { // answers for 4 to 23 rows, then misses 1 to 4
                present = !present;
                ++run;
                left = present ? 4 + (run * 7) % 20 : 1 + (run * 3) % 4;
            }
            log.values[1].push_back(900 + (r * 37) % 3000);
            log.values[2].push_back(1000 + r % 200);
            log.values[3].push_back(20 + r / 100);
            log.values[4].push_back(r < rows / 2 ? 0 : r < rows * 7 / 10 ? qQNaN() : 1);
        }
        return log;
    }
    // The whole window at the size of a small laptop screen, when pictures are asked for.
    static void grabLaptopScreen(QWidget* window, const QString& name)
    {
        const QString dir = qEnvironmentVariable("ORVANE_GRAB_DIR");
        if (dir.isEmpty()) return;
        window->resize(1366, 768);
        QApplication::processEvents();
        window->grab().save(dir + QLatin1Char('/') + name + QStringLiteral(".png"));
    }

    QTemporaryDir tmp;
};

void TestDatalogRun::statusDriveReadsBackWithWhatTheWindowShowed()
{
    QVERIFY(openStatus());
    auto* window = app->navigator.window<StatusWindow>(WindowId::Status);
    DatalogRecorder* recorder = recorderOf("Form3");
    QVERIFY(recorder);
    const QString path = tmp.filePath(QStringLiteral("status_drive.csv"));
    recorder->nextPath = [path] { return path; };
    // oxygen sensor 1 unplugged: its box turns "NC" after a couple of seconds
    sim->withEcu([](VirtualEcu& ecu) { ecu.engine.lambda1Unplugged = true; });
    int replies = 0;
    connect(&app->dispatcher, &ReplyDispatcher::frameHandled, this,
            [&replies](int code) { replies += code == static_cast<int>(RequestKind::ReadStatus); });

    auto* button = control<QPushButton>("Form3", "DatalogRecord");
    const QString idle = button->text();
    button->click();
    QVERIFY(recorder->isRecording());
    QVERIFY(button->text() != idle);
    QVERIFY(button->text().contains(QStringLiteral("righe")));

    // after each tick: which reply the boxes show, and what they show
    const char* boxes[] = {"Text3",  "Text13", "Text6",  "Text5_0", "Text5_8", "Text10",
                           "Text12", "Text8",  "Text11", "Text7",   "Text9",   "Text2"};
    const char* keys[] = {"lambda1",      "lambda2",  "rpm",       "petrolTinj1",
                          "gasTinj1",     "pressure", "pressure2", "temperature1",
                          "temperature2", "kgbTab",   "kgbCor",    "lambda1Average"};
    struct Shown {
        int row;
        QStringList texts;
    };
    QList<Shown> shown;
    for (int tick = 0; tick < 25; ++tick) {
        const int before = replies;
        window->pollTick();
        if (before > 0) {
            QStringList texts;
            for (const char* b : boxes)
                texts << control<QLineEdit>("Form3", b)->text();
            shown.append({before - 1, texts});
        }
        QVERIFY(QTest::qWaitFor([&] { return replies > before; }, 3000));
    }
    recorder->flushTick();
    grabIfAsked(window, "datalog_status_recording_it");
    button->click();
    QVERIFY(!recorder->isRecording());
    QCOMPARE(button->text(), idle);
    // the stop says where the drive went, and opens it on a click
    auto* saved = control<QPushButton>("Form3", "DatalogOpen");
    QVERIFY(saved->isVisible());
    QCOMPARE(saved->text(), QStringLiteral("Salvata: status_drive.csv (%1 righe) - apri").arg(replies));
    QCOMPARE(saved->toolTip(), path);
    saved->click();
    QCOMPARE(activeName(), QString("DatalogViewer"));
    QCOMPARE(viewer()->log().rowCount(), replies);

    // the viewer, from the start window, proposes the Datalog folder
    dialogs.answer = path;
    click("Form1", "OpenDatalog");
    QVERIFY(dialogs.asked.value(0).contains(QStringLiteral("/Datalog ")));
    DatalogViewer* v = viewer();
    QCOMPARE(activeName(), QString("DatalogViewer"));
    const Datalog& log = v->log();
    QCOMPARE(log.status, Datalog::Status::Ok);
    QCOMPARE(log.rowCount(), replies);
    for (int r = 1; r < log.rowCount(); ++r)
        QVERIFY(log.timesMs[static_cast<size_t>(r)] >= log.timesMs[static_cast<size_t>(r - 1)]);
    QVERIFY(log.timesMs.back() > 0);

    // the cursor at each reply's time lists what the window showed from that reply
    auto* table = viewerControl<QTableWidget>("CursorValues");
    const auto& fuel = log.values[static_cast<size_t>(log.channelIndex("fuel"))];
    int compared = 0, unplugged = 0, onPetrol = 0;
    for (Shown& s : shown) {
        v->setCursorTime(log.timesMs[static_cast<size_t>(s.row)]);
        QCOMPARE(v->cursorRow(), s.row);
        // no gas time while on petrol, whatever the window derives
        const bool petrol = fuel[static_cast<size_t>(s.row)] == 0;
        onPetrol += petrol;
        if (petrol) s.texts[4] = QStringLiteral("NC");
        for (int k = 0; k < s.texts.size(); ++k) {
            unplugged += s.texts[k] == QLatin1String("NC");
            int column = -1;
            for (size_t c = 0; c < log.channels.size(); ++c)
                if (QLatin1String(log.channels[c].key) == QLatin1String(keys[k]))
                    column = static_cast<int>(c);
            QVERIFY(column >= 0);
            QCOMPARE(table->item(column, 1)->text(), s.texts[k].trimmed());
            ++compared;
        }
    }
    QVERIFY(compared > 200);
    QVERIFY(unplugged > 0);
    QVERIFY(onPetrol > 0);
    QVERIFY(std::isnan(log.values[0].back())); // an empty cell, not the raw millivolts
    v->setCursorTime(log.timesMs[static_cast<size_t>(log.rowCount() / 2)]);
    grabIfAsked(v, "datalog_viewer_it");
}

void TestDatalogRun::calibrationDriveIsRecordedAndClosedByExit()
{
    QVERIFY(connectToEcu());
    click("Form2", "Command5");
    QTRY_VERIFY_WITH_TIMEOUT(app->navigator.isOpen(WindowId::Calibration), 3000);
    DatalogRecorder* recorder = recorderOf("Form16");
    const QString path = tmp.filePath(QStringLiteral("calibration_drive.csv"));
    recorder->nextPath = [path] { return path; };
    click("Form16", "DatalogRecord");
    QTRY_VERIFY_WITH_TIMEOUT(recorder->rows() >= 5, 5000);
    grabIfAsked(form("Form16"), "datalog_calibration_recording_it");

    // EXIT turns the calibration mode off and closes the window: the file is closed whole
    click("Form16", "Command1");
    QTRY_VERIFY_WITH_TIMEOUT(!app->navigator.isOpen(WindowId::Calibration), 5000);
    QVERIFY(!recorder->isRecording());
    const Datalog log = readDatalog(path);
    QCOMPARE(log.status, Datalog::Status::Ok);
    QCOMPARE(log.source, DatalogSource::Calibration);
    QVERIFY(log.rowCount() >= 5);
    QVERIFY(log.values[4].back() > 500); // engine speed
    QCOMPARE(log.values[5].back(), static_cast<double>(app->state.liveStatus.calibrationTinj));
}

void TestDatalogRun::automaticCalibrationIsRecordedWithItsDecisions()
{
    QVERIFY(connectToEcu());
    click("Form2", "Command5");
    QTRY_VERIFY_WITH_TIMEOUT(app->navigator.isOpen(WindowId::Calibration), 3000);
    QTRY_VERIFY_WITH_TIMEOUT(control<QLineEdit>("Form16", "Text5")->text().toInt() > 500, 3000);
    DatalogRecorder* recorder = recorderOf("Form16");
    const QString path = tmp.filePath(QStringLiteral("automatic.csv"));
    recorder->nextPath = [path] { return path; };
    auto* marker = control<QPushButton>("Form16", "DatalogMarker");
    QVERIFY(!marker->isEnabled());
    click("Form16", "DatalogRecord");
    QVERIFY(marker->isEnabled());
    QTRY_VERIFY_WITH_TIMEOUT(recorder->rows() >= 3, 5000);
    // the user's markers: the button, then the key, numbered
    marker->click();
    QTRY_VERIFY_WITH_TIMEOUT(recorder->rows() >= 4, 3000);
    QTest::keyClick(form("Form16"), Qt::Key_F9);
    const qint64 before = recorder->rows();
    QTRY_VERIFY_WITH_TIMEOUT(recorder->rows() > before, 3000);

    // the recording goes on under the automatic calibration, with its coefficient under test
    click("Form16", "Command8");
    QTRY_VERIFY_WITH_TIMEOUT(app->navigator.isOpen(WindowId::AutoCalibration), 5000);
    QVERIFY(recorder->isRecording());
    const qint64 atOpen = recorder->rows();
    QTRY_VERIFY_WITH_TIMEOUT(recorder->rows() >= atOpen + 5, 5000);
    recorder->addMarker(QStringLiteral("one more, \"quoted\""));
    QTRY_VERIFY_WITH_TIMEOUT(recorder->rows() >= atOpen + 6, 3000);
    recorder->stop();
    const Datalog log = readDatalog(path);
    QCOMPARE(log.status, Datalog::Status::Ok);
    QCOMPARE(log.rowCount(), recorder->rows());
    QStringList markers;
    for (const DatalogMarker& m : log.markers)
        markers << m.text;
    QVERIFY(markers.indexOf(QStringLiteral("1")) >= 0);
    QVERIFY(markers.indexOf(QStringLiteral("2")) > markers.indexOf(QStringLiteral("1")));
    QVERIFY2(markers.contains(QStringLiteral("Taratura automatica: inizio")), qPrintable(markers.join('|')));
    QCOMPARE(markers.last(), QStringLiteral("one more, \"quoted\""));
    const auto column = [&log](const char* key) {
        return log.values[static_cast<size_t>(log.channelIndex(key))];
    };
    QCOMPARE(column("calibrationMode").back(), 1.0);
    QCOMPARE(column("kgbUnderTest").back(), static_cast<double>(app->state.calibrationKgb));
    QVERIFY(std::isnan(column("kgbUnderTest").front())); // before the mode was on
    QCOMPARE(column("calibrationMode").front(), 0.0);
    const double row = column("cellRow").back(), cell = column("cellColumn").back();
    QVERIFY(row >= 1 && row <= 8 && cell >= 1 && cell <= 8);
    QCOMPARE(column("fuel").back(), app->state.liveStatus.onPetrol == 1 ? 0.0 : 1.0);
    QVERIFY(readDatalogInfo(path).value(QStringLiteral("table1")).count(QLatin1Char(',')) == 7);
    QCOMPARE(readDatalogInfo(path).value(QStringLiteral("port")), link->portName());
}

void TestDatalogRun::writeErrorStopsTheRecordingNotThePolling()
{
    if (!QFile::exists(QStringLiteral("/dev/full"))) QSKIP("no /dev/full here");
    app->state.languageIndex = 2;
    QVERIFY(openStatus());
    DatalogRecorder* recorder = recorderOf("Form3");
    // a disk full from the start: refused at once, not a recording of nothing
    recorder->nextPath = [] { return QStringLiteral("/dev/full"); };
    click("Form3", "DatalogRecord");
    QVERIFY(!recorder->isRecording());
    QVERIFY2(messageShown().startsWith(QStringLiteral("Cannot create")), qPrintable(messageShown()));
    QVERIFY2(messageShown().contains(QStringLiteral("(disk full)")), qPrintable(messageShown()));
    click("Form12", "Command1");

    // filling up later: the message counts the rows that made it to the file
    const QString path = tmp.filePath(QStringLiteral("filling.csv"));
    recorder->nextPath = [path] { return path; };
    click("Form3", "DatalogRecord");
    QVERIFY(recorder->isRecording());
    QTRY_VERIFY_WITH_TIMEOUT(recorder->rows() >= 2, 3000);
    recorder->flushTick();
    const qint64 saved = recorder->rows();
    {
        FileSizeLimit limit(QFileInfo(path).size() + 50); // room for half a row
        QVERIFY(limit.ok());
        QTRY_VERIFY_WITH_TIMEOUT(recorder->rows() > saved || !recorder->isRecording(), 3000);
        recorder->flushTick();
    }
    QVERIFY(!recorder->isRecording());
    QVERIFY(app->navigator.isOpen(WindowId::Messages));
    QVERIFY2(messageShown().startsWith(QStringLiteral("Recording stopped")), qPrintable(messageShown()));
    QVERIFY2(messageShown().contains(QStringLiteral("(disk full)")), qPrintable(messageShown()));
    QVERIFY2(messageShown().contains(QStringLiteral("Rows saved in the file: %1;").arg(saved)),
             qPrintable(messageShown()));
    QCOMPARE(readDatalog(path).rowCount(), saved);
    QCOMPARE(readDatalog(path).status, Datalog::Status::Ok);
    QCOMPARE(control<QPushButton>("Form3", "DatalogRecord")->text(), QStringLiteral("● Record"));
    grabIfAsked(form("Form3"), "datalog_status_idle_en");
    grabIfAsked(form("Form12"), "datalog_write_error_en");

    // the window goes on reading the ECU
    QVERIFY(form("Form3")->isLoaded());
    const int before = app->state.liveStatus.rpm;
    int polls = 0;
    connect(&app->dispatcher, &ReplyDispatcher::frameHandled, this,
            [&polls](int code) { polls += code == static_cast<int>(RequestKind::ReadStatus); });
    QTRY_VERIFY_WITH_TIMEOUT(polls >= 3, 3000);
    Q_UNUSED(before);
}

void TestDatalogRun::lostLinkClosesTheFileWhole()
{
    QVERIFY(openStatus());
    DatalogRecorder* recorder = recorderOf("Form3");
    const QString path = tmp.filePath(QStringLiteral("pulled.csv"));
    recorder->nextPath = [path] { return path; };
    click("Form3", "DatalogRecord");
    QTRY_VERIFY_WITH_TIMEOUT(recorder->rows() >= 3, 3000);
    const qint64 rows = recorder->rows();
    expectMessage(QStringLiteral("dispositivo scollegato"));
    emit link->lost(LinkProblem::DeviceRemoved);
    QVERIFY(!recorder->isRecording());
    const Datalog log = readDatalog(path);
    QCOMPARE(log.status, Datalog::Status::Ok);
    QCOMPARE(log.rowCount(), rows);
}

void TestDatalogRun::twoRecordingsInOneSecondGetTwoFiles()
{
    QVERIFY(openStatus());
    DatalogRecorder* recorder = recorderOf("Form3");
    const QString folder = datalogFolder();
    QVERIFY(folder.endsWith(QStringLiteral("/Datalog")));
    // the names of this second and the next two are taken already
    const QDateTime now = QDateTime::currentDateTime();
    QStringList taken;
    for (int s = 0; s < 3; ++s) {
        taken << newDatalogPath(folder, now.addSecs(s), 1);
        QFile f(taken.last());
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("kept");
    }
    recorder->start();
    QVERIFY(recorder->isRecording());
    const QString path = recorder->path();
    recorder->stop();
    QVERIFY2(path.endsWith(QStringLiteral("_2.csv")), qPrintable(path));
    for (const QString& t : taken) {
        QFile f(t);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), QByteArray("kept"));
        f.remove();
    }
    QCOMPARE(readDatalog(path).status, Datalog::Status::Ok);
    QFile::remove(path);
}

void TestDatalogRun::viewerRefusesForeignFilesAndSaysWhenCut()
{
    click("Form1", "Command7"); // not connected: the viewer needs no ECU
    grabIfAsked(form("Form1"), "datalog_start_offline_it");
    const QString foreign = tmp.filePath(QStringLiteral("prices.csv"));
    {
        QFile f(foreign);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("date,price\n2026-01-01,3\n");
    }
    dialogs.answer = foreign;
    click("Form1", "OpenDatalog");
    QVERIFY(messageShown().contains(QStringLiteral("non e' una registrazione")));
    QCOMPARE(viewer()->log().rowCount(), 0);

    // recorded in Turkish, cut in the middle of its last row; a name that looks like a placeholder
    const QString cut = writeLog(QStringLiteral("cut %2 v%1.csv"), 40, Language::Turkish);
    QFile f(cut);
    QVERIFY(f.resize(f.size() - 5));
    QVERIFY(viewer()->openFile(cut));
    QCOMPARE(viewer()->log().rowCount(), 39);
    QVERIFY2(messageShown().startsWith(QStringLiteral("Il file cut %2 v%1.csv e' interrotto")),
             qPrintable(messageShown()));
    QVERIFY(messageShown().contains(QStringLiteral("(39 righe)")));
    QCOMPARE(viewerControl<QLabel>("FileName")->text(), QStringLiteral("39 righe, cut %2 v%1.csv"));

    // a whole file with a row that is not ours is damaged, not cut
    const QString damaged = writeLog(QStringLiteral("damaged.csv"), 40);
    QFile d(damaged);
    QVERIFY(d.open(QIODevice::ReadWrite));
    QByteArray bytes = d.readAll();
    const qsizetype row21 = bytes.indexOf("\n6000,") + 1;
    bytes.replace(row21, 4, "-600");
    QVERIFY(d.seek(0));
    d.write(bytes);
    d.close();
    expectMessage(QStringLiteral("damaged.csv"));
    QVERIFY(viewer()->openFile(damaged));
    // skipped and counted; the rows after it are read, and the message says so
    QCOMPARE(viewer()->log().rowCount(), 39);
    QCOMPARE(viewer()->log().skippedRows, 1);
    QCOMPARE(viewer()->log().firstSkippedRow, 21);
    QVERIFY2(
        messageShown().contains(QStringLiteral("una riga danneggiata, la riga 21, saltata. Sono mostrate "
                                               "le altre 39 righe")),
        qPrintable(messageShown()));
}

void TestDatalogRun::viewerZoomsScrollsAndHidesChannels()
{
    app->state.languageIndex = 2;
    const QString path = writeLog(QStringLiteral("hour.csv"), 1000); // 299.7 s
    dialogs.answer = path;
    click("Form1", "OpenDatalog");
    DatalogViewer* v = viewer();
    QCOMPARE(v->log().rowCount(), 1000);
    QCOMPARE(v->viewStartMs(), 0.0);
    QCOMPARE(v->viewSpanMs(), 299'700.0);

    // by default: both oxygen sensors, rpm, petrol and gas time of cylinder 1, pressure
    auto* list = viewerControl<QListWidget>("Channels");
    QStringList checked;
    for (int i = 0; i < list->count(); ++i)
        if (list->item(i)->checkState() == Qt::Checked) checked << list->item(i)->text();
    QCOMPARE(checked, QStringList({"Oxygen sensor1 mV", "Oxygen sensor2 mV", "RPM x min", "Petrol tinj 1 raw",
                                   "Gas tinj 1 raw", "Pressure mbar"}));
    list->item(2)->setCheckState(Qt::Unchecked);
    QVERIFY(!v->channelShown(2));
    list->item(25)->setCheckState(Qt::Checked);
    QVERIFY(v->channelShown(25));
    // the state's name and the marker are words: no line to draw, no value at the cursor
    for (const char* words : {"ecuStateName", "marker"}) {
        const int c = v->log().channelIndex(words);
        QVERIFY(list->item(c)->isHidden());
        QVERIFY(viewerControl<QTableWidget>("CursorValues")->isRowHidden(c));
    }

    // zoom keeps the time under the pointer in place; the view never leaves the drive
    v->zoom(0.1, 150'000);
    QCOMPARE(v->viewSpanMs(), 29'970.0);
    QVERIFY(qAbs(v->viewStartMs() - 135'000) < 1); // 150 s stays at the same place on screen
    auto* scroll = viewerControl<QScrollBar>("TimeScroll");
    QCOMPARE(scroll->value(), qRound(v->viewStartMs()));
    scroll->setValue(scroll->maximum());
    QCOMPARE(v->viewStartMs() + v->viewSpanMs(), 299'700.0);
    auto* chart = v->findChild<QWidget*>(QStringLiteral("Chart"));
    QTest::keyClick(chart, Qt::Key_Right);
    QCOMPARE(v->viewStartMs() + v->viewSpanMs(), 299'700.0);
    QTest::keyClick(chart, Qt::Key_Home);
    QCOMPARE(v->viewStartMs(), 0.0);
    QTest::keyClick(chart, Qt::Key_Left);
    QCOMPARE(v->viewStartMs(), 0.0);
    for (int i = 0; i < 40; ++i)
        v->zoom(0.5, 1000);
    QCOMPARE(v->viewSpanMs(), 1000.0); // no closer than a second
    for (int i = 0; i < 40; ++i)
        QTest::keyClick(chart, Qt::Key_Minus);
    QCOMPARE(v->viewSpanMs(), 299'700.0);

    // the cursor takes the reply in force at its time
    v->setCursorTime(1'000);
    QCOMPARE(v->cursorRow(), 3);
    QCOMPARE(viewerControl<QTableWidget>("CursorValues")->item(0, 1)->text(), QString("3"));
    v->setCursorTime(-5);
    QCOMPARE(v->cursorRow(), 0);
    v->setCursorTime(1e9);
    QCOMPARE(v->cursorRow(), 999);
    v->setCursorTime(120'000);
    grabIfAsked(v, "datalog_viewer_en");
}

void TestDatalogRun::viewerSharesAScalePerUnitAndBreaksLinesAtNc()
{
    app->state.languageIndex = 2;
    const QString path = tmp.filePath(QStringLiteral("scales.csv"));
    {
        DatalogWriter writer;
        QCOMPARE(writer.open(path, DatalogSource::Status, Language::English), DatalogWriter::Result::Ok);
        std::vector<int> row(datalogChannels(DatalogSource::Status).size(), 0);
        for (int r = 0; r < 40; ++r) {
            row[0] = r >= 10 && r < 20 ? kDatalogNoValue : 400;          // oxygen sensor 1 unplugged a while
            row[5] = 10;                                                 // petrol tinj 1
            row[13] = 20;                                                // gas tinj 1
            writer.append(r == 39 ? 9'000'000'000'000LL : r * 300, row); // and a time far too long
        }
    }
    dialogs.answer = path;
    click("Form1", "OpenDatalog");
    DatalogViewer* v = viewer();
    QCOMPARE(v->log().status, Datalog::Status::Ok);
    v->setView(0, 12'000);

    auto* plot = v->findChild<DatalogPlot*>(QStringLiteral("Chart"));
    // one pane per unit, in the order of the channels; same unit, same pane and scale
    QStringList units;
    for (const DatalogViewer::Pane& pane : v->panes())
        units << pane.unit;
    QCOMPARE(units, QStringList({"mV", "x min", "raw", "mbar"}));
    const DatalogViewer::Pane& times = v->panes()[2];
    QCOMPARE(times.channels, (std::vector<int>{5, 13})); // petrol and gas tinj 1
    QCOMPARE(times.low, 10.0);
    QCOMPARE(times.high, 20.0);
    QVERIFY(viewerControl<QLabel>("Scales")->text().contains(QStringLiteral("raw: 10 .. 20")));
    QCOMPARE(plot->trace(13).points.front().y(), 20.0);
    // the scale follows the channels shown: with petrol tinj 2 (all 0) the range starts at 0
    v->setChannelShown(6, true);
    QVERIFY(viewerControl<QLabel>("Scales")->text().contains(QStringLiteral("raw: 0 .. 20")));
    QCOMPARE(v->panes()[2].low, 0.0);
    QCOMPARE(v->panes().size(), size_t(4));

    // no line across the rows without a value, and "NC" at the cursor there
    const DatalogTrace lambda = plot->trace(0);
    QCOMPARE(lambda.pieceCount(), size_t(2));
    QCOMPARE(lambda.piece(0).back().x(), 2700.0);
    QCOMPARE(lambda.piece(1).front().x(), 6000.0);
    v->setCursorTime(4'000);
    QCOMPARE(viewerControl<QTableWidget>("CursorValues")->item(0, 1)->text(), QStringLiteral("NC"));
    v->setCursorTime(6'000);
    QCOMPARE(viewerControl<QTableWidget>("CursorValues")->item(0, 1)->text(), QStringLiteral("400"));

    // the scroll bar reaches every part of a drive of any length
    auto* scroll = viewerControl<QScrollBar>("TimeScroll");
    QVERIFY(scroll->maximum() > 0);
    scroll->setValue(scroll->maximum());
    QCOMPARE(v->viewStartMs() + v->viewSpanMs(), 9e12);
    scroll->setValue(scroll->maximum() / 2);
    QVERIFY(qAbs(v->viewStartMs() - 4.5e12) < 1e10);
    scroll->setValue(0);
    QCOMPARE(v->viewStartMs(), 0.0);
    grabIfAsked(v, "datalog_viewer_scales_en");
}

void TestDatalogRun::viewerDrawsASensorThatComesAndGoesAsOneLine()
{
    DatalogViewer* v = openViewer();
    QVERIFY(v->showDatalog(drive(12'000), QStringLiteral("hour.csv"))); // an hour
    auto* plot = v->findChild<DatalogPlot*>(QStringLiteral("Chart"));
    const auto& t = v->log().timesMs;
    const auto& lambda = v->log().values[0];
    const int columns = static_cast<int>(plot->plotArea().width());
    QVERIFY(columns > 300);
    // between two joined points every row has a value, unless both fall in one pixel column (a
    // stroke from the lowest to the highest there): a line never crosses a gap
    auto joinsOnlyValues = [&](const DatalogTrace& trace) {
        const double pixelMs = v->viewSpanMs() / columns;
        for (size_t k = 0; k < trace.pieceCount(); ++k) {
            const auto piece = trace.piece(k);
            for (size_t i = 1; i < piece.size(); ++i) {
                if (piece[i].x() - piece[i - 1].x() < pixelMs) continue;
                const auto a = std::lower_bound(t.begin(), t.end(), piece[i - 1].x()) - t.begin();
                const auto b = std::lower_bound(t.begin(), t.end(), piece[i].x()) - t.begin();
                for (auto r = a; r <= b; ++r)
                    if (std::isnan(lambda[static_cast<size_t>(r)])) return false;
            }
        }
        return true;
    };
    // the whole hour: no more points than the pixels can show, however many gaps
    DatalogTrace whole = plot->trace(0);
    QVERIFY2(whole.points.size() <= size_t(5 * columns + 10),
             qPrintable(QString::number(whole.points.size())));
    QVERIFY(whole.pieceCount() <= size_t(3 * columns + 4));
    QVERIFY(joinsOnlyValues(whole));
    double low = qInf(), high = -qInf();
    for (const QPointF& p : whole.points) {
        low = std::min(low, p.y());
        high = std::max(high, p.y());
    }
    QCOMPARE(low, v->panes()[0].low); // the extremes survive the thinning
    QCOMPARE(high, v->panes()[0].high);
    grabLaptopScreen(v, QStringLiteral("datalog_viewer_hour"));

    // half a minute: every row drawn, a piece for every run of values
    v->setView(600'000, 30'000);
    const DatalogTrace close = plot->trace(0);
    QVERIFY(joinsOnlyValues(close));
    size_t runs = 0, points = 0;
    bool inRun = false;
    for (size_t r = 1999; r <= 2101; ++r) { // one row either side of the view
        const bool value = !std::isnan(lambda[r]);
        runs += value && !inRun;
        points += value;
        inRun = value;
    }
    QCOMPARE(close.pieceCount(), runs);
    QCOMPARE(close.points.size(), points);
}

void TestDatalogRun::viewerSaysWhichDamagedRowsItSkipped()
{
    DatalogViewer* v = openViewer();
    Datalog log = drive(40);
    log.skippedRows = 3;
    log.firstSkippedRow = 21;
    const char* expected[] = {
        "Il file d.csv ha 3 righe danneggiate, saltate; la prima e' la riga 21. Sono mostrate le altre 40 "
        "righe.",
        "The file d.csv has 3 damaged rows, skipped; the first is row 21. The other 40 rows are shown.",
        "d.csv dosyasinda 3 bozuk satir atlandi; ilki 21. satir. Diger 40 satir gosteriliyor."};
    for (int language : {1, 2, 3}) {
        app->state.languageIndex = language;
        QVERIFY(v->showDatalog(log, QStringLiteral("d.csv")));
        QCOMPARE(messageShown(), QString::fromUtf8(expected[language - 1]));
    }
    // cut short as well: both are said
    app->state.languageIndex = 2;
    log.skippedRows = 1;
    log.status = Datalog::Status::Truncated;
    QVERIFY(v->showDatalog(log, QStringLiteral("d.csv")));
    QVERIFY(messageShown().contains(QStringLiteral("is cut short")));
    QVERIFY(messageShown().contains(
        QStringLiteral("one damaged row, row 21, skipped. The other 40 rows are shown.")));
}

void TestDatalogRun::viewerShowsTheFuelAndJumpsToMarkers()
{
    app->state.languageIndex = 2;
    DatalogViewer* v = openViewer();
    Datalog log = drive(1000); // 299.7 s
    log.markers = {{400, 120'000, QStringLiteral("1")}, {800, 240'000, QStringLiteral("change-over")}};
    QVERIFY(v->showDatalog(log, QStringLiteral("drive.csv")));
    auto* plot = v->findChild<DatalogPlot*>(QStringLiteral("Chart"));

    // the band under the panes: red while on petrol, green on gas, nothing where the fuel is unknown
    const QImage image = plot->grab().toImage();
    const QRectF area = plot->plotArea();
    const int bandY = qRound(area.bottom() + 15); // the middle of the band
    auto bandAt = [&](double fraction) {
        return image.pixelColor(qRound(area.left() + fraction * area.width()), bandY);
    };
    QCOMPARE(bandAt(0.25), QColor(255, 0, 0));
    QCOMPARE(bandAt(0.6), QColor(Qt::white));
    QCOMPARE(bandAt(0.9), QColor(0, 255, 0));
    v->setCursorTime(10'000);
    QCOMPARE(viewerControl<QTableWidget>("CursorValues")->item(4, 1)->text(), QStringLiteral("Petrol"));

    // the markers listed; choosing one brings it to the middle, with the cursor on it
    auto* markers = viewerControl<QListWidget>("Markers");
    QCOMPARE(markers->count(), 2);
    QCOMPARE(markers->item(1)->text(), QStringLiteral("2  04:00  change-over"));
    QTest::mouseClick(markers->viewport(), Qt::LeftButton, {},
                      markers->visualItemRect(markers->item(0)).center());
    QCOMPARE(v->viewSpanMs(), 60'000.0);
    QCOMPARE(v->viewStartMs(), 90'000.0);
    QCOMPARE(v->cursorRow(), 400);
    v->setView(0, 20'000); // zoomed in, the span stays
    v->goToMarker(1);
    QCOMPARE(v->viewStartMs(), 230'000.0);
    QCOMPARE(v->viewSpanMs(), 20'000.0);
    QCOMPARE(v->cursorMs(), 240'000.0);

    // a unitless channel gets a pane of its own, under the others
    v->setChannelShown(4, true);
    QCOMPARE(v->panes().back().unit, QString());
    QCOMPARE(v->panes().back().channels, std::vector<int>{4});

    // the most the window holds, in each language, on a small laptop screen
    v->setChannelShown(4, false);
    Datalog other = drive(900);
    for (double& value : other.values[1])
        value += 400;
    QVERIFY(v->showComparison(other, QStringLiteral("yesterday.csv")));
    v->setView(0, 1e12);
    v->setCursorTime(150'000);
    for (int language : {1, 2, 3}) {
        app->state.languageIndex = language;
        v->applyLanguage();
        grabLaptopScreen(v, QStringLiteral("datalog_viewer_1366_%1").arg(language));
    }
}

void TestDatalogRun::viewerOverlaysASecondDrive()
{
    app->state.languageIndex = 2;
    dialogs.answer = writeLog(QStringLiteral("today.csv"), 400); // 119.7 s, every value its row
    click("Form1", "OpenDatalog");
    DatalogViewer* v = viewer();
    auto* compare = viewerControl<QPushButton>("CompareDatalog");
    auto* remove = viewerControl<QPushButton>("RemoveComparison");
    QVERIFY(compare->isEnabled());
    QVERIFY(!remove->isEnabled());

    dialogs.answer = writeLog(QStringLiteral("yesterday.csv"), 200, Language::Turkish);
    compare->click();
    QVERIFY(remove->isEnabled());
    QVERIFY(
        viewerControl<QLabel>("FileName")->text().endsWith(QStringLiteral("compared with yesterday.csv")));
    auto* plot = v->findChild<DatalogPlot*>(QStringLiteral("Chart"));
    QCOMPARE(plot->trace(0, true).points.back().x(), 199 * 300.0);

    // a drive whose first row came 5 s after its start: the starts are laid together
    Datalog later = readDatalog(dialogs.answer);
    for (double& ms : later.timesMs)
        ms += 5'000;
    for (double& value : later.values[21]) // pressure
        value = 1000 + value;
    QVERIFY(v->showComparison(later, QStringLiteral("later.csv")));
    QCOMPARE(plot->trace(0, true).points.front().x(), 0.0);
    v->setCursorTime(30'000);
    auto* table = viewerControl<QTableWidget>("CursorValues");
    QCOMPARE(table->columnCount(), 3);
    QCOMPARE(table->horizontalHeaderItem(2)->text(), QStringLiteral("Compared"));
    QCOMPARE(table->item(21, 1)->text(), QStringLiteral("100"));
    QCOMPARE(table->item(21, 2)->text(), QStringLiteral("1100"));
    v->setCursorTime(100'000); // past the compared drive's end: nothing of it
    QCOMPARE(table->item(21, 2)->text(), QString());
    // the pressure pane spans both drives
    const auto pressure = std::find_if(v->panes().begin(), v->panes().end(),
                                       [](const DatalogViewer::Pane& p) { return p.unit == "mbar"; });
    QCOMPARE(pressure->low, 0.0);
    QCOMPARE(pressure->high, 1199.0);

    // a log without rows has nothing to lay over, and no range to show of its own
    const QString empty = writeLog(QStringLiteral("empty.csv"), 0);
    QVERIFY(!v->compareWith(empty));
    QCOMPARE(messageShown(), QStringLiteral("The datalog empty.csv has no rows: nothing to compare."));
    QCOMPARE(v->compared().rowCount(), 200);

    remove->click();
    QCOMPARE(table->columnCount(), 2);
    QCOMPARE(plot->trace(0, true).pieceCount(), size_t(0));
    QCOMPARE(v->panes()[3].high, 399.0);
    QVERIFY(!remove->isEnabled());
    QCOMPARE(viewerControl<QLabel>("FileName")->text(), QStringLiteral("400 rows, today.csv"));
    QVERIFY(v->openFile(empty));
    QCOMPARE(viewerControl<QLabel>("Scales")->text(), QString());
}

QTEST_MAIN(TestDatalogRun)
#include "test_datalog_run.moc"
