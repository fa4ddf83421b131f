// The table checked against a drive: each cell's petrol and gas times, the coefficient that makes
// them agree, and the samples that must not count (change-overs, transients, calibration mode).
#include "archive/drive_analysis.h"

#include <QTest>

#include <cmath>

namespace {

constexpr Axis kRpm{800, 1200, 1600, 2000, 2500, 3000, 4000, 5000};
constexpr Axis kTinj{200, 300, 400, 500, 650, 800, 1000, 1300};

TableCells startTable()
{
    TableCells t{};
    for (int k = 1; k <= 64; ++k)
        t[static_cast<size_t>(k - 1)] = 90 + k;
    return t;
}

// A cell visited, the coefficient that is right there and the petrol time at its breakpoint.
struct Visit {
    int row, column, trueKgb;
};
// Gas moves the time at most 10 %: petrol and gas stay in the cell.
const Visit kVisits[] = {{2, 1, 0}, {4, 3, 0}, {6, 5, 0}, {3, 6, 0}};
const double kRatios[] = {1.10, 0.92, 1.05, 0.95};

int cellOf(int row, int column)
{
    return 1 + 8 * row + column;
}

// A drive at 300 ms a reply: each visit held on petrol, a change-over, each visit held on gas. The
// closed loop puts the gas time where the applied coefficient times it equals the right
// coefficient times the petrol time.
class Drive {
public:
    std::vector<DriveSample> samples;
    qint64 now = 0;

    void hold(int row, int column, bool gas, int count, int kgbInUse, int trueKgb, int state = 0)
    {
        const int petrol = kTinj[static_cast<size_t>(row)];
        for (int i = 0; i < count; ++i) {
            DriveSample s;
            s.timeMs = now;
            s.onGas = gas;
            s.ecuState = state;
            s.rpm = kRpm[static_cast<size_t>(column)];
            s.tinj = gas ? static_cast<int>(std::lround(1.0 * petrol * trueKgb / kgbInUse)) : petrol;
            s.kgbInUse = kgbInUse;
            samples.push_back(s);
            now += 300;
        }
    }
    void changeOver(bool toGas, int row, int column, int kgb)
    {
        for (int state = 1; state <= 5; ++state)
            hold(row, column, toGas, 1, kgb, kgb, state);
    }
};

std::vector<Visit> visits()
{
    std::vector<Visit> v(std::begin(kVisits), std::end(kVisits));
    const TableCells table = startTable();
    for (size_t i = 0; i < v.size(); ++i)
        v[i].trueKgb = static_cast<int>(
            std::lround(table[static_cast<size_t>(cellOf(v[i].row, v[i].column) - 1)] * kRatios[i]));
    return v;
}

// 20 replies in each visit on each fuel.
Drive cleanDrive()
{
    const TableCells table = startTable();
    Drive d;
    const std::vector<Visit> all = visits();
    const auto kgb = [&table](const Visit& v) {
        return table[static_cast<size_t>(cellOf(v.row, v.column) - 1)];
    };
    for (const Visit& v : all)
        d.hold(v.row, v.column, false, 20, kgb(v), v.trueKgb);
    d.changeOver(true, all.back().row, all.back().column, kgb(all.back()));
    for (const Visit& v : all)
        d.hold(v.row, v.column, true, 20, kgb(v), v.trueKgb);
    return d;
}

} // namespace

class TestDriveAnalysis : public QObject {
    Q_OBJECT
private slots:
    void operatingCellAsTheMarkerPlacesIt();
    void suggestionRestoresTheRightCoefficientPerCell();
    void unstableSamplesDoNotCount();
    void appliedCoefficientTooFewSamplesAndLimits();
    void samplesFromADatalog();
};

void TestDriveAnalysis::operatingCellAsTheMarkerPlacesIt()
{
    // the nearer breakpoint, the upper one from half-way; beyond the axis its first or last
    QCOMPARE(nearestBreakpoint(kRpm, 999), 0);
    QCOMPARE(nearestBreakpoint(kRpm, 1000), 1);
    QCOMPARE(nearestBreakpoint(kRpm, 700), 0);
    QCOMPARE(nearestBreakpoint(kRpm, 9000), 7);
    QCOMPARE(nearestBreakpoint(kTinj, 574), 3);
    QCOMPARE(nearestBreakpoint(kTinj, 575), 4);
    // equal breakpoints: the first segment the value fits, as the marker stands
    const Axis twice{800, 1200, 1200, 2000, 2500, 3000, 4000, 5000};
    QCOMPARE(nearestBreakpoint(twice, 1200), 1);
    const Axis flat{1000, 1000, 1000, 1000, 1000, 1000, 1000, 1000};
    QCOMPARE(nearestBreakpoint(flat, 1000), 0);
    QCOMPARE(nearestBreakpoint(flat, 1001), 7);
    const Axis backwards{5000, 4000, 3000, 2500, 2000, 1600, 1200, 800};
    QCOMPARE(nearestBreakpoint(backwards, 3000), 7);
    QCOMPARE(operatingCell(kRpm, kTinj, 2500, 650), cellOf(4, 4));
}

void TestDriveAnalysis::suggestionRestoresTheRightCoefficientPerCell()
{
    const Drive d = cleanDrive();
    const TableCells table = startTable();
    const CellOverlay overlay = analyse(d.samples, kRpm, kTinj, table);
    const std::vector<Visit> all = visits();
    for (const Visit& v : all) {
        const CellAnalysis& c = overlay.cell(cellOf(v.row, v.column));
        QVERIFY(c.suggestedKgb.has_value());
        QCOMPARE(*c.suggestedKgb, v.trueKgb);
        QCOMPARE(c.petrolMeanTinj, double(kTinj[static_cast<size_t>(v.row)]));
    }
    QCOMPARE(overlay.suggestedCells, int(all.size()));
    // the first 3 s of the drive settle; a cell entered counts after 0.9 s in it
    const CellAnalysis& first = overlay.cell(cellOf(all[0].row, all[0].column));
    QCOMPARE(first.petrolSamples, 10);
    QCOMPARE(overlay.cell(cellOf(all[1].row, all[1].column)).petrolSamples, 17);
    // after the change-over the first gas replies settle for 3 s from the last change-over state
    const CellAnalysis& firstGas = overlay.cell(cellOf(all[0].row, all[0].column));
    QCOMPARE(firstGas.gasSamples, 11);
    // the change-over's own replies are hits, not samples
    const CellAnalysis& last = overlay.cell(cellOf(all.back().row, all.back().column));
    QCOMPARE(last.hits, 20 + 5 + 20);
    QCOMPARE(overlay.maxHits, 45);
    QCOMPARE(overlay.samples, int(d.samples.size()));
    QCOMPARE(overlay.cell(1).hits, 0);
    QVERIFY(!overlay.cell(1).suggestedKgb);

    // fed one reply at a time, the running result is the same
    DriveAccumulator live(kRpm, kTinj);
    for (const DriveSample& s : d.samples)
        live.add(s);
    const CellOverlay again = live.result(table);
    for (int k = 1; k <= 64; ++k)
        QCOMPARE(again.cell(k).suggestedKgb, overlay.cell(k).suggestedKgb);
}

void TestDriveAnalysis::unstableSamplesDoNotCount()
{
    const TableCells table = startTable();
    const std::vector<Visit> all = visits();
    const Visit& v = all[2];
    const int k = cellOf(v.row, v.column);
    const int kgb = table[static_cast<size_t>(k - 1)];
    const CellOverlay clean = analyse(cleanDrive().samples, kRpm, kTinj, table);

    // each sample that must not count has its gas time 8 % off, still in the cell
    Drive d = cleanDrive();
    const int wrong = v.trueKgb * 108 / 100;
    const auto right = [&] { d.hold(v.row, v.column, true, 20, kgb, v.trueKgb); };
    const auto off = [&](int count, int state = 0) {
        d.hold(v.row, v.column, true, count, kgb, wrong, state);
    };
    right();
    // back to petrol and to gas: the closed loop is still correcting in the first 3 s
    d.changeOver(false, v.row, v.column, kgb);
    d.hold(v.row, v.column, false, 20, kgb, v.trueKgb);
    d.changeOver(true, v.row, v.column, kgb);
    off(9);
    right();
    // replies lost for 5 s: what follows settles again
    d.now += 5000;
    off(9);
    right();
    // a cut-off
    off(2, 8);
    off(9);
    right();
    // the coefficient under test in calibration mode, and settling after it
    const size_t modeStart = d.samples.size();
    off(15);
    for (size_t i = modeStart; i < d.samples.size(); ++i)
        d.samples[i].calibrationMode = true;
    off(9);
    right();
    // a step of the engine speed within the cell, and the reply after it
    off(1);
    d.samples.back().rpm += 260;
    off(1);
    right();
    // the engine stopped
    off(1);
    d.samples.back().rpm = 0;
    off(9);
    right();

    const CellOverlay overlay = analyse(d.samples, kRpm, kTinj, table);
    const CellAnalysis& c = overlay.cell(k);
    QCOMPARE(c.suggestedKgb, std::optional<int>(v.trueKgb));
    // one wrong sample in the mean would move it
    QCOMPARE(c.gasMeanTinj, clean.cell(k).gasMeanTinj);
    QVERIFY(c.gasSamples >= clean.cell(k).gasSamples + 5 * 17);
    QCOMPARE(c.petrolSamples, clean.cell(k).petrolSamples + 11);
}

void TestDriveAnalysis::appliedCoefficientTooFewSamplesAndLimits()
{
    TableCells table = startTable();
    Drive d;
    // A: nine gas samples, one short; B: the ECU applied 120 between cells where the table says
    // 100; C: the coefficient is not known, the cell's value stands in; E: beyond 255
    const int a = cellOf(2, 2), b = cellOf(4, 4), c = cellOf(6, 6), e = cellOf(2, 6);
    table[static_cast<size_t>(b - 1)] = 100;
    table[static_cast<size_t>(c - 1)] = 100;
    table[static_cast<size_t>(e - 1)] = 250;
    for (const int k : {a, b, c, e})
        d.hold((k - 1) / 8, (k - 1) % 8, false, 20, 0, 0);
    d.changeOver(true, 2, 6, 250);
    d.hold(2, 6, true, 20, 250, 270);
    d.hold(2, 2, true, 12, 100, 100);
    d.hold(4, 4, true, 20, 120, 132);
    d.hold(6, 6, true, 20, 100, 105);
    for (size_t i = d.samples.size() - 20; i < d.samples.size(); ++i)
        d.samples[i].kgbInUse = -1;

    CellOverlay overlay = analyse(d.samples, kRpm, kTinj, table);
    QCOMPARE(overlay.cell(a).gasSamples, 9);
    QCOMPARE(overlay.cell(a).petrolSamples, 10);
    QVERIFY(!overlay.cell(a).suggestedKgb);
    QCOMPARE(overlay.cell(b).suggestedKgb, std::optional<int>(132));
    QCOMPARE(overlay.cell(c).suggestedKgb, std::optional<int>(105));
    QCOMPARE(overlay.cell(e).suggestedKgb, std::optional<int>(255));
    // the stand-in follows the table given, the applied coefficient does not
    table[static_cast<size_t>(b - 1)] = table[static_cast<size_t>(c - 1)] = 110;
    overlay = analyse(d.samples, kRpm, kTinj, table);
    QCOMPARE(overlay.cell(b).suggestedKgb, std::optional<int>(132));
    QCOMPARE(overlay.cell(c).suggestedKgb, std::optional<int>(116)); // 110 x 1.05 = 115.5
    // fewer samples asked for
    DriveRules rules;
    rules.minSamples = 9;
    QVERIFY(analyse(d.samples, kRpm, kTinj, table, rules).cell(a).suggestedKgb.has_value());
}

void TestDriveAnalysis::samplesFromADatalog()
{
    static constexpr DatalogChannel kChannels[] = {
        {"rpm", {"Giri"}, ""},       {"tinj", {"Tinj"}, ""},    {"fuel", {"Carburante"}, ""},
        {"ecuState", {"Stato"}, ""}, {"kgbInUse", {"KGB"}, ""}, {"calibrationMode", {"Taratura"}, ""},
    };
    const Drive d = cleanDrive();
    const auto logOf = [&d](std::span<const DatalogChannel> channels) {
        Datalog log;
        log.status = Datalog::Status::Ok;
        log.source = DatalogSource::Calibration;
        log.channels = channels;
        log.values.resize(channels.size());
        for (const DriveSample& s : d.samples) {
            log.timesMs.push_back(double(s.timeMs));
            const double row[] = {double(s.rpm),      double(s.tinj),     s.onGas ? 1.0 : 0.0,
                                  double(s.ecuState), double(s.kgbInUse), s.calibrationMode ? 1.0 : 0.0};
            for (size_t c = 0; c < channels.size(); ++c)
                log.values[c].push_back(row[c]);
        }
        return log;
    };
    Datalog log = logOf(kChannels);
    DriveSamples read = driveSamples(log);
    QVERIFY(read.missingColumns.isEmpty());
    QCOMPARE(read.samples.size(), d.samples.size());
    const TableCells table = startTable();
    const CellOverlay direct = analyse(d.samples, kRpm, kTinj, table);
    const CellOverlay fromLog = analyse(read.samples, kRpm, kTinj, table);
    for (int k = 1; k <= 64; ++k) {
        QCOMPARE(fromLog.cell(k).suggestedKgb, direct.cell(k).suggestedKgb);
        QCOMPARE(fromLog.cell(k).hits, direct.cell(k).hits);
    }

    // a row without its fuel or speed is left out; one without its state is no normal running
    const double nan = std::nan("");
    log.values[2][3] = nan;
    log.values[0][4] = nan;
    log.values[3][5] = nan;
    log.values[2][6] = 2; // no fuel the ECU knows
    read = driveSamples(log);
    QCOMPARE(read.samples.size(), d.samples.size() - 3);
    QCOMPARE(read.samples[3].timeMs, d.samples[5].timeMs);
    QCOMPARE(read.samples[3].ecuState, -1);

    // without the optional columns: normal running, out of calibration mode, the cells stand in
    read = driveSamples(logOf(std::span(kChannels).first(3)));
    QVERIFY(read.missingColumns.isEmpty());
    QCOMPARE(read.samples[0].kgbInUse, -1);
    const CellOverlay bare = analyse(read.samples, kRpm, kTinj, table);
    for (const Visit& v : visits())
        QCOMPARE(bare.cell(cellOf(v.row, v.column)).suggestedKgb, std::optional<int>(v.trueKgb));

    // a log that does not say the fuel cannot be compared: nothing is read
    static constexpr DatalogChannel kNoFuel[] = {{"rpm", {"Giri"}, ""}, {"tinj", {"Tinj"}, ""}};
    read = driveSamples(logOf(kNoFuel));
    QCOMPARE(read.missingColumns, QStringList{"fuel"});
    QVERIFY(read.samples.empty());
}

QTEST_GUILESS_MAIN(TestDriveAnalysis)
#include "test_drive_analysis.moc"
