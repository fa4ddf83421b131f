// The table overlay's cost on a one-hour drive. Usage: bench_overlay [rows] (default 12000, one
// hour of calibration replies at 300 ms). Prints the median of 21 runs of:
//   log      the samples taken from a datalog already read, then every cell analysed
//   live     the same replies added one at a time, then the result
//   file     the datalog read from disk first (when the calibration datalog has a fuel column)
#include "archive/drive_analysis.h"

#include <QElapsedTimer>
#include <QTemporaryDir>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <random>

namespace {

constexpr Axis kRpm{800, 1200, 1600, 2000, 2500, 3000, 4000, 5000};
constexpr Axis kTinj{200, 300, 400, 500, 650, 800, 1000, 1300};

constexpr DatalogChannel kChannels[] = {
    {"rpm", {"rpm"}, ""},           {"tinj", {"tinj"}, ""},         {"fuel", {"fuel"}, ""},
    {"ecuState", {"ecuState"}, ""}, {"kgbInUse", {"kgbInUse"}, ""}, {"calibrationMode", {"mode"}, ""},
};

// A drive over the table: the operating point wanders, the fuel changes every two minutes through
// a change-over, gas lengthens the time by a few percent.
std::vector<DriveSample> drive(int rows)
{
    std::mt19937 random(7);
    std::vector<DriveSample> out;
    double rpm = 900, tinj = 300;
    bool gas = false;
    int changeover = 0;
    for (int r = 0; r < rows; ++r) {
        DriveSample s;
        s.timeMs = 300LL * r;
        if (r % 400 == 399) changeover = 5;
        if (changeover > 0 && --changeover == 0) gas = !gas;
        s.ecuState = changeover > 0 ? 6 - changeover : 0;
        rpm = std::clamp(rpm + std::normal_distribution(0.0, 60.0)(random), 700.0, 5500.0);
        tinj = std::clamp(tinj + std::normal_distribution(0.0, 15.0)(random), 150.0, 1400.0);
        s.onGas = gas;
        s.rpm = static_cast<int>(rpm);
        s.tinj = static_cast<int>(gas ? tinj * 1.04 : tinj);
        s.kgbInUse = 120;
        out.push_back(s);
    }
    return out;
}

double medianMs(const std::function<void()>& run)
{
    std::vector<double> times;
    for (int i = 0; i < 21; ++i) {
        QElapsedTimer clock;
        clock.start();
        run();
        times.push_back(static_cast<double>(clock.nsecsElapsed()) / 1e6);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

// The drive as the datalog's reader hands it over, in `channels`' order.
Datalog asLog(const std::vector<DriveSample>& samples, std::span<const DatalogChannel> channels)
{
    Datalog log;
    log.status = Datalog::Status::Ok;
    log.source = DatalogSource::Calibration;
    log.channels = channels;
    log.values.assign(channels.size(), {});
    for (const DriveSample& s : samples) {
        log.timesMs.push_back(static_cast<double>(s.timeMs));
        for (size_t c = 0; c < channels.size(); ++c) {
            const std::string_view key = channels[c].key;
            const double v = key == "rpm"               ? s.rpm
                             : key == "tinj"            ? s.tinj
                             : key == "fuel"            ? (s.onGas ? 1 : 0)
                             : key == "ecuState"        ? s.ecuState
                             : key == "kgbInUse"        ? s.kgbInUse
                             : key == "calibrationMode" ? 0
                                                        : 500;
            log.values[c].push_back(v);
        }
    }
    return log;
}

} // namespace

int main(int argc, char** argv)
{
    const int rows = argc > 1 ? std::atoi(argv[1]) : 12000;
    const std::vector<DriveSample> samples = drive(rows);
    TableCells table{};
    table.fill(120);
    CellOverlay last;

    const Datalog log = asLog(samples, kChannels);
    const double fromLog = medianMs([&] {
        const DriveSamples read = driveSamples(log);
        last = analyse(read.samples, kRpm, kTinj, table);
    });
    std::printf("log   %d rows: %.2f ms (%d stable samples, %d cells suggested)\n", rows, fromLog,
                last.stableSamples, last.suggestedCells);

    const double live = medianMs([&] {
        DriveAccumulator accumulator(kRpm, kTinj);
        for (const DriveSample& s : samples)
            accumulator.add(s);
        last = accumulator.result(table);
    });
    std::printf("live  %d replies: %.2f ms, %.1f ns a reply\n", rows, live, live * 1e6 / rows);

    const auto calibration = datalogChannels(DatalogSource::Calibration);
    const bool hasFuel = std::any_of(calibration.begin(), calibration.end(), [](const DatalogChannel& c) {
        return std::string_view(c.key) == "fuel";
    });
    if (!hasFuel) {
        std::printf("file  skipped: the calibration datalog has no fuel column\n");
        return 0;
    }
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("drive.csv"));
    {
        const Datalog shaped = asLog(samples, calibration);
        DatalogWriter writer;
        if (writer.open(path, DatalogSource::Calibration, Language::English) != DatalogWriter::Result::Ok)
            return 1;
        std::vector<int> row(calibration.size());
        for (int r = 0; r < rows; ++r) {
            for (size_t c = 0; c < row.size(); ++c)
                row[c] = static_cast<int>(shaped.values[c][static_cast<size_t>(r)]);
            writer.append(samples[static_cast<size_t>(r)].timeMs, row);
        }
        writer.close();
    }
    const double fromFile = medianMs([&] {
        const DriveSamples read = driveSamples(readDatalog(path));
        last = analyse(read.samples, kRpm, kTinj, table);
    });
    std::printf("file  %d rows read and analysed: %.2f ms\n", rows, fromFile);
    return 0;
}
