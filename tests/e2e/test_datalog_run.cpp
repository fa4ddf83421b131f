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
#include "ui/datalog/datalog_viewer.h"
#include "ui/status/status_window.h"

#include <QChartView>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLineSeries>
#include <QListWidget>
#include <QScrollBar>
#include <QStandardPaths>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>

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
    // skipped and counted; the rows after it are read
    QCOMPARE(viewer()->log().rowCount(), 39);
    QCOMPARE(viewer()->log().skippedRows, 1);
    QCOMPARE(viewer()->log().firstSkippedRow, 21);
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
    QCOMPARE(checked, QStringList({"Oxygen sensor1 mV", "Oxygen sensor2 mV", "RPM x min",
                                   "Petrol tinj 1 x10 us", "Gas tinj 1 x10 us", "Pressure mbar"}));
    list->item(2)->setCheckState(Qt::Unchecked);
    QVERIFY(!v->channelShown(2));
    list->item(25)->setCheckState(Qt::Checked);
    QVERIFY(v->channelShown(25));

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

    auto pieces = [v](const QString& name) {
        QList<QLineSeries*> found;
        for (QAbstractSeries* a : v->findChild<QChartView*>(QStringLiteral("Chart"))->chart()->series())
            if (auto* s = qobject_cast<QLineSeries*>(a); s && s->name() == name && s->count() > 0) found << s;
        return found;
    };
    // same unit, same scale: gas runs twice as high as petrol
    const auto petrol = pieces(QStringLiteral("Petrol tinj 1 x10 us"));
    const auto gas = pieces(QStringLiteral("Gas tinj 1 x10 us"));
    QCOMPARE(petrol.size(), 1);
    QCOMPARE(gas.size(), 1);
    QCOMPARE(gas[0]->at(0).y(), 0.96);
    QVERIFY(viewerControl<QLabel>("Scales")->text().contains(QStringLiteral("x10 us: 10 .. 20")));
    QCOMPARE(petrol[0]->at(0).y(), 0.04);
    // the scale follows the channels shown: with petrol tinj 2 (all 0) the range starts at 0
    v->setChannelShown(6, true);
    QVERIFY(viewerControl<QLabel>("Scales")->text().contains(QStringLiteral("x10 us: 0 .. 20")));
    QVERIFY(qAbs(pieces(QStringLiteral("Petrol tinj 1 x10 us"))[0]->at(0).y() - 0.5) < 1e-9);

    // no line across the rows without a value, and "NC" at the cursor there
    const auto lambda = pieces(QStringLiteral("Oxygen sensor1 mV"));
    QCOMPARE(lambda.size(), 2);
    QCOMPARE(lambda[0]->at(lambda[0]->count() - 1).x(), 2.7);
    QCOMPARE(lambda[1]->at(0).x(), 6.0);
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

QTEST_MAIN(TestDatalogRun)
#include "test_datalog_run.moc"
