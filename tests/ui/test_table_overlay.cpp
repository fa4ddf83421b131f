// A drive over the calibration window's table: a datalog loaded through the dialog or the window's
// own replies, the suggestions applied to a selection as one edit that undo takes back whole, and
// written only by MODIFICA.
#include "archive/datalog.h"
#include "link/frames.h"
#include "link/parameter_catalogue.h"
#include "support/grab.h"
#include "support/quiet_offscreen.h"
#include "support/window_test.h"
#include "ui/calibration/calibration_window.h"
#include "ui/calibration/table_editor.h"
#include "ui/calibration/table_grid.h"
#include "ui/calibration/table_overlay.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>

namespace {

constexpr int kRpmAxis[8] = {800, 1200, 1600, 2000, 2500, 3000, 4000, 5000};
constexpr int kTinjAxis[8] = {200, 300, 400, 500, 650, 800, 1000, 1300};

int startValue(int cell)
{
    return 90 + cell % 20;
}

// Row, column and the coefficient that is right there; gas moves the time less than half-way
// to the next breakpoint.
struct Visit {
    int row, column, trueKgb;
    int cell() const { return 1 + 8 * row + column; }
};
const Visit kVisits[] = {{2, 2, 0}, {2, 3, 0}, {4, 3, 0}};
const double kRatios[] = {1.10, 0.93, 1.06};
// one cell visited too briefly on gas
const Visit kShort{4, 4, 100};

std::vector<Visit> visits()
{
    std::vector<Visit> v(std::begin(kVisits), std::end(kVisits));
    for (size_t i = 0; i < v.size(); ++i)
        v[i].trueKgb = static_cast<int>(std::lround(startValue(v[i].cell()) * kRatios[i]));
    return v;
}

// What the ECU answers a calibration poll.
struct Reply {
    qint64 timeMs;
    int rpm, tinj, kgbInUse, state;
    bool gas;
};

// 300 ms a reply: each visit on petrol, a change-over, each visit on gas.
std::vector<Reply> drive()
{
    std::vector<Reply> replies;
    qint64 now = 0;
    const auto hold = [&](const Visit& v, bool gas, int count, int state = 0) {
        const int kgb = startValue(v.cell());
        const int petrol = kTinjAxis[v.row];
        for (int i = 0; i < count; ++i, now += 300)
            replies.push_back(
                {now, kRpmAxis[v.column],
                 gas && state == 0 ? static_cast<int>(std::lround(1.0 * petrol * v.trueKgb / kgb)) : petrol,
                 kgb, state, gas});
    };
    const std::vector<Visit> all = visits();
    for (const Visit& v : all)
        hold(v, false, 20);
    hold(kShort, false, 20);
    for (int state = 1; state <= 5; ++state)
        hold(kShort, true, 1, state);
    hold(kShort, true, 12); // 3 stable after settling: too few
    for (const Visit& v : all)
        hold(v, true, 20);
    return replies;
}

QByteArray calibrationReply(const Reply& r)
{
    QByteArray p;
    const auto add16 = [&p](int v) { p += char(v / 256) + QByteArray(1, char(v % 256)); };
    for (int v : {700, 300, 1100, 0, 45, 80, r.kgbInUse, r.rpm, r.tinj})
        add16(v);
    p += char(r.state);
    p += char(r.gas ? 0 : 1);
    return frames::frame(10, p);
}

} // namespace

class TestTableOverlay : public FakeLinkWindowTest {
    Q_OBJECT
private slots:
    void initTestCase() { quietOffscreenWarnings(); }
    void init();
    void cleanup() { stopAll(); }

    void loadedDriveAppliedAsOneEditAndStored();
    void liveRepliesViewsAndRefusedLogs();
    void loadedDriveFallsInTheCellsItWasRecordedOn();

private:
    CalibrationWindow* window() { return app->navigator.window<CalibrationWindow>(WindowId::Calibration); }
    TableOverlay* overlay() { return window()->findChild<TableOverlay*>(); }
    TableGrid* grid() { return window()->findChild<TableGrid*>(); }
    QLineEdit* cellBox(int cell) { return grid()->cellBox(cell); }
    QString summary() { return control<QLabel>("Form16", "OverlaySummary")->text(); }
    QComboBox* viewBox() { return control<QComboBox>("Form16", "OverlayView"); }
    // The drive as the calibration window records it: false when its datalog cannot say the fuel.
    bool writeDrive(const QString& path, DatalogSource source = DatalogSource::Calibration,
                    const DatalogInfo& info = {})
    {
        DatalogWriter writer;
        if (writer.open(path, source, Language::Italian, info) != DatalogWriter::Result::Ok) return false;
        const auto channels = datalogChannels(source);
        std::vector<int> row(channels.size());
        bool fuel = false;
        for (const Reply& r : drive()) {
            for (size_t c = 0; c < channels.size(); ++c) {
                const std::string_view key = channels[c].key;
                fuel |= key == "fuel";
                row[c] = key == "rpm"        ? r.rpm
                         : key == "tinj"     ? r.tinj
                         : key == "fuel"     ? (r.gas ? 1 : 0)
                         : key == "ecuState" ? r.state
                         : key == "kgbInUse" ? r.kgbInUse
                                             : 0;
            }
            writer.append(r.timeMs, row);
        }
        return writer.close() && fuel;
    }
    QTemporaryDir dir;
};

void TestTableOverlay::init()
{
    startOnFakeLink();
    link->open("/dev/ttyS0", "9600,n,8,1");
    SharedState& s = app->state;
    for (int i = 0; i < 8; ++i) {
        s.parameterValues[param::mapRpmAxis + i] = s.pendingParameterValues[param::mapRpmAxis + i] =
            kRpmAxis[i];
        s.parameterValues[param::mapTinjAxis + i] = s.pendingParameterValues[param::mapTinjAxis + i] =
            kTinjAxis[i];
    }
    for (int k = 1; k <= kTableCellCount; ++k)
        s.tableCells[k] = s.pendingTableCells[k] = startValue(k);
    s.calibrationInactive = 1;
    app->navigator.open(WindowId::Calibration);
    link->sent.clear();
}

void TestTableOverlay::loadedDriveAppliedAsOneEditAndStored()
{
    const QString path = dir.filePath("drive.csv");
    if (!writeDrive(path)) QSKIP("the calibration datalog does not record the fuel in use");
    CalibrationWindow* w = window();
    const QSize size = w->size();
    const QRect gridPlace = grid()->geometry();
    dialogs.answer = path;
    click("Form16", "OverlayLoad");
    QVERIFY(dialogs.asked.last().startsWith("open Carica registrazione"));
    QVERIFY2(summary().contains("Registrazione drive.csv: "), qPrintable(summary()));
    QVERIFY2(summary().contains(" 3 celle con suggerimento"), qPrintable(summary()));
    // a drive loaded is shown by its suggestions, over the cells, in the same place
    QCOMPARE(viewBox()->currentIndex(), int(TableOverlay::View::Suggestions));
    QVERIFY(grid()->tiles().has_value());
    QCOMPARE(w->size(), size);
    QCOMPARE(grid()->geometry(), gridPlace);
    const std::vector<Visit> all = visits();
    for (const Visit& v : all) {
        const CellTile& tile = (*grid()->tiles())[static_cast<size_t>(v.cell() - 1)];
        QCOMPARE(tile.text, QString::number(v.trueKgb));
        QVERIFY(!tile.hatched);
    }
    const CellTile& shortTile = (*grid()->tiles())[static_cast<size_t>(kShort.cell() - 1)];
    QVERIFY(shortTile.hatched);
    QCOMPARE(shortTile.text, QString("17/3"));
    QVERIFY2(cellBox(kShort.cell())->toolTip().contains("pochi campioni"),
             qPrintable(cellBox(kShort.cell())->toolTip()));
    QVERIFY(cellBox(all[0].cell())
                ->toolTip()
                .startsWith("Benzina: 10 campioni, Tinj media 400\nGas: 17 campioni"));
    grabIfAsked(w, "form16-overlay-suggestions");
    viewBox()->setCurrentIndex(int(TableOverlay::View::Hits));
    emit viewBox()->activated(int(TableOverlay::View::Hits));
    QCOMPARE((*grid()->tiles())[static_cast<size_t>(kShort.cell() - 1)].text, QString("37")); // 20 + 5 + 12
    grabIfAsked(w, "form16-overlay-hits");

    // rows 2..4, columns 2..4: three suggestions, six cells without one
    TableEditor* editor = w->findChild<TableEditor*>();
    editor->select(CellBlock{2, 2, 4, 4});
    click("Form16", "OverlayApply");
    QVERIFY2(
        summary().contains("Applicati 3 suggerimenti, da scrivere con MODIFICA; 6 celle senza suggerimento"),
        qPrintable(summary()));
    for (const Visit& v : all) {
        QCOMPARE(cellBox(v.cell())->text(), QString::number(v.trueKgb));
        QVERIFY(grid()->isPending(v.cell()));
    }
    QCOMPARE(cellBox(kShort.cell())->text(), QString::number(startValue(kShort.cell())));
    QVERIFY(link->sent.isEmpty());
    // one step: undo brings every cell back, redo puts them all again
    click("Form16", "EditUndo");
    for (const Visit& v : all) {
        QCOMPARE(cellBox(v.cell())->text(), QString::number(startValue(v.cell())));
        QVERIFY(!grid()->isPending(v.cell()));
    }
    QVERIFY(!control<QPushButton>("Form16", "EditUndo")->isEnabled());
    click("Form16", "EditRedo");

    // MODIFICA writes them through the write session, and nothing else
    click("Form16", "Command7");
    for (int tick = 0; tick < 50 && w->phase() == CalibrationWindow::Phase::WritingBack; ++tick) {
        const qsizetype sent = link->sent.size();
        w->writeBackTick();
        if (link->sent.size() > sent) emit link->received(link->sent.last());
    }
    QCOMPARE(w->phase(), CalibrationWindow::Phase::Polling);
    QList<int> written;
    for (const QByteArray& frame : link->sent)
        if (static_cast<unsigned char>(frame[4]) == 9) written << static_cast<unsigned char>(frame[5]);
    QCOMPARE(written, QList<int>({all[0].cell(), all[1].cell(), all[2].cell()}));
    for (const Visit& v : all)
        QCOMPARE(app->state.tableCells[v.cell()], v.trueKgb);
}

void TestTableOverlay::liveRepliesViewsAndRefusedLogs()
{
    CalibrationWindow* w = window();
    QVERIFY(w->sizeHint().width() <= 1366 && w->sizeHint().height() <= 768);
    qint64 now = 0;
    overlay()->clock = [&now] { return now; };
    for (const Reply& r : drive()) {
        now = r.timeMs;
        emit link->received(calibrationReply(r));
    }
    QVERIFY(overlay()->isLive());
    QVERIFY2(summary().startsWith(QString("Dal vivo: %1 letture").arg(drive().size())),
             qPrintable(summary()));
    for (const Visit& v : visits())
        QCOMPARE(overlay()->result().cell(v.cell()).suggestedKgb, std::optional<int>(v.trueKgb));
    // the values are shown until another view is chosen
    QVERIFY(!grid()->tiles());
    // new axes confirmed by the ECU put the same samples in other cells: 400 is now row 1
    SharedState& s = app->state;
    for (const auto& [index, value] : {std::pair{2, 490}, {1, 400}}) {
        s.pendingParameterValues[param::mapTinjAxis + index] = value;
        emit link->received(*frames::writeParameter(param::mapTinjAxis + index, value));
    }
    QCOMPARE(overlay()->result().cell(1 + 8 + 2).suggestedKgb, std::optional<int>(visits()[0].trueKgb));
    QVERIFY(!overlay()->result().cell(visits()[0].cell()).suggestedKgb);

    // nothing to apply in the cells selected: no edit, and it is said
    w->findChild<TableEditor*>()->select(CellBlock{7, 7, 7, 7});
    click("Form16", "OverlayApply");
    QVERIFY(summary().endsWith("Nessun suggerimento nelle celle selezionate: nulla e' cambiato."));
    QVERIFY(!control<QPushButton>("Form16", "EditUndo")->isEnabled());

    // typing over the suggestions shows the values
    viewBox()->setCurrentIndex(int(TableOverlay::View::Suggestions));
    emit viewBox()->activated(int(TableOverlay::View::Suggestions));
    QVERIFY(grid()->tiles());
    cellBox(1)->setText("77");
    emit cellBox(1)->textEdited("77");
    QCOMPARE(viewBox()->currentIndex(), int(TableOverlay::View::Values));
    QVERIFY(!grid()->tiles());

    // a datalog that cannot be compared changes nothing and says why
    const QString statusLog = dir.filePath("status.csv");
    writeDrive(statusLog, DatalogSource::Status);
    const QString foreign = dir.filePath("foreign.csv");
    QFile(foreign).open(QIODevice::WriteOnly);
    for (const QString& path : {statusLog, foreign}) {
        dialogs.answer = path;
        click("Form16", "OverlayLoad");
    }
    QCOMPARE(messages.size(), 2);
    QVERIFY2(messages[0].startsWith("La registrazione status.csv non ha le colonne tinj:"),
             qPrintable(messages[0]));
    QVERIFY2(messages[1].contains("non e' una registrazione di ORVANE"), qPrintable(messages[1]));
    expectMessage("registrazione");
    QVERIFY(overlay()->isLive());

    // English, and the window opened again starts live with the values, whatever was shown
    app->state.languageIndex = 2;
    app->context.languageChanged();
    QCOMPARE(viewBox()->itemText(1), QString("Suggested corrections"));
    QCOMPARE(control<QPushButton>("Form16", "OverlayApply")->text(), QString("Apply suggestions"));
    QVERIFY(summary().startsWith("Live: "));
}

void TestTableOverlay::loadedDriveFallsInTheCellsItWasRecordedOn()
{
    // the ECU has given no axes (not connected, or not read yet)
    for (int i = 0; i < 8; ++i)
        app->state.parameterValues[param::mapRpmAxis + i] =
            app->state.parameterValues[param::mapTinjAxis + i] = 0;
    const QString bare = dir.filePath("bare.csv");
    QVERIFY(writeDrive(bare));
    dialogs.answer = bare;
    expectMessage("non dice gli assi della tabella");
    click("Form16", "OverlayLoad");

    // the sidecar's axes put the rows where they were, and the summary says they are not the ECU's
    DatalogInfo info;
    info.rpmAxis = std::to_array(kRpmAxis);
    info.tinjAxis = std::to_array(kTinjAxis);
    const QString recorded = dir.filePath("recorded.csv");
    QVERIFY(writeDrive(recorded, DatalogSource::Calibration, info));
    dialogs.answer = recorded;
    click("Form16", "OverlayLoad");
    QVERIFY2(summary().contains(" 3 celle con suggerimento"), qPrintable(summary()));
    QVERIFY2(summary().contains("assi della registrazione, diversi"), qPrintable(summary()));
    for (const Visit& v : visits())
        QCOMPARE((*grid()->tiles())[static_cast<size_t>(v.cell() - 1)].text, QString::number(v.trueKgb));
}

QTEST_MAIN(TestTableOverlay)
#include "test_table_overlay.moc"
