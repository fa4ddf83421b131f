#include "archive/datalog.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include <charconv>
#include <cmath>

namespace {

constexpr const char* kSignature = "ORVANE datalog";
constexpr int kVersion = 1;

constexpr LocalText kTime{"Tempo", "Time", "Zaman"};
constexpr LocalText kDiskFull{"disco pieno", "disk full", "disk dolu"};

constexpr DatalogChannel kStatusChannels[] = {
    {"lambda1", {"Lambda1", "Oxygen sensor1", "Lambda1"}, "mV", true},
    {"lambda2", {"Lambda2", "Oxygen sensor2", "Lambda2"}, "mV", true},
    {"lambda1Average", {"Media L1", "Avg OS1", "Ortalama l1"}, "mV"},
    {"lambda2Average", {"Media L2", "Avg OS2", "Ortalama l2"}, "mV"},
    {"rpm", {"Giri", "RPM", "Devir"}, "x min", true},
    {"petrolTinj1", {"Tinj benzina 1", "Petrol tinj 1", "Benzin tinj 1"}, "msec", true},
    {"petrolTinj2", {"Tinj benzina 2", "Petrol tinj 2", "Benzin tinj 2"}, "msec"},
    {"petrolTinj3", {"Tinj benzina 3", "Petrol tinj 3", "Benzin tinj 3"}, "msec"},
    {"petrolTinj4", {"Tinj benzina 4", "Petrol tinj 4", "Benzin tinj 4"}, "msec"},
    {"petrolTinj5", {"Tinj benzina 5", "Petrol tinj 5", "Benzin tinj 5"}, "msec"},
    {"petrolTinj6", {"Tinj benzina 6", "Petrol tinj 6", "Benzin tinj 6"}, "msec"},
    {"petrolTinj7", {"Tinj benzina 7", "Petrol tinj 7", "Benzin tinj 7"}, "msec"},
    {"petrolTinj8", {"Tinj benzina 8", "Petrol tinj 8", "Benzin tinj 8"}, "msec"},
    {"gasTinj1", {"Tinj gas 1", "Gas tinj 1", "Gaz tinj 1"}, "msec", true},
    {"gasTinj2", {"Tinj gas 2", "Gas tinj 2", "Gaz tinj 2"}, "msec"},
    {"gasTinj3", {"Tinj gas 3", "Gas tinj 3", "Gaz tinj 3"}, "msec"},
    {"gasTinj4", {"Tinj gas 4", "Gas tinj 4", "Gaz tinj 4"}, "msec"},
    {"gasTinj5", {"Tinj gas 5", "Gas tinj 5", "Gaz tinj 5"}, "msec"},
    {"gasTinj6", {"Tinj gas 6", "Gas tinj 6", "Gaz tinj 6"}, "msec"},
    {"gasTinj7", {"Tinj gas 7", "Gas tinj 7", "Gaz tinj 7"}, "msec"},
    {"gasTinj8", {"Tinj gas 8", "Gas tinj 8", "Gaz tinj 8"}, "msec"},
    {"pressure", {"Pressione", "Pressure", "Basinc"}, "mbar", true},
    {"pressure2", {"Pressione2", "Pressure2", "Basinc2"}, "mbar"},
    {"temperature1", {"Temperatura", "Temperature", "Derece"}, "°C"},
    {"temperature2", {"Temperatura2", "Temperature2", "Derece2"}, "°C"},
    {"level", {"Livello", "Level", "Seviye"}, "mV"},
    {"kgbTab", {"KGBTAB"}, ""},
    {"kgbCor", {"KGBCOR"}, ""},
    {"ecuState", {"Stato centralina", "ECU state", "ECU durumu"}, ""},
};

constexpr DatalogChannel kCalibrationChannels[] = {
    {"lambda1", {"Lambda1", "Oxygen sensor1", "Lambda1"}, "mV", true},
    {"lambda2", {"Lambda2", "Oxygen sensor2", "Lambda2"}, "mV", true},
    {"lambda1Average", {"Media L1", "Avg OS1", "Ortalama l1"}, "mV"},
    {"lambda2Average", {"Media L2", "Avg OS2", "Ortalama l2"}, "mV"},
    {"rpm", {"Giri", "RPM", "Devir"}, "x min", true},
    {"tinj", {"Tinj", "Tinj", "Inj Time"}, "msec", true},
    {"gasTinjAverage", {"Tinj Gas", "Tinj Gas", "Inj Time Gaz"}, "msec", true},
    {"petrolTinjAverage", {"Tinj Benzina", "Tinj Petrol", "Inj Time Benzin"}, "msec"},
    {"pressure", {"Pressione1", "Pressure1", "Basinc1"}, "mbar", true},
    {"pressure2", {"Pressione2", "Pressure2", "Basinc2"}, "mbar"},
    {"temperature1", {"Temperatura1", "Temperature1", "Derece1"}, "°C"},
    {"temperature2", {"Temperatura2", "Temperature2", "Derece2"}, "°C"},
    {"calibrationKgb", {"KGB taratura", "KGB calibration", "KGB calibration"}, ""},
    {"kgbInUse", {"KGB in uso", "KGB being used", "KGB"}, ""},
    {"ecuState", {"Stato centralina", "ECU state", "ECU durumu"}, ""},
};

const char* sourceName(DatalogSource source)
{
    return source == DatalogSource::Status ? "status" : "calibration";
}

constexpr Language kLanguages[] = {Language::Italian, Language::English, Language::Turkish};

bool titleMatches(const QString& cell, auto&& titleIn)
{
    for (Language l : kLanguages)
        if (cell == titleIn(l)) return true;
    return false;
}

// Fields of one line, without copying; false when a field is not a whole number. An empty field
// is a value the window did not have (NaN).
bool parseRow(const char* begin, const char* end, std::vector<double>& fields)
{
    fields.clear();
    const char* p = begin;
    while (true) {
        long long v = 0;
        const auto [next, ec] = std::from_chars(p, end, v);
        if (ec == std::errc()) {
            fields.push_back(static_cast<double>(v));
        } else if (p == end || *p == ',') {
            fields.push_back(std::nan(""));
        } else {
            return false;
        }
        if (next == end) return true;
        if (*next != ',') return false;
        p = next + 1;
    }
}

} // namespace

std::span<const DatalogChannel> datalogChannels(DatalogSource source)
{
    if (source == DatalogSource::Status) return kStatusChannels;
    return kCalibrationChannels;
}

QString datalogColumnTitle(const DatalogChannel& channel, Language language)
{
    const QString name = channel.name.in(language);
    if (channel.unit[0] == '\0') return name;
    return name + QLatin1Char(' ') + QString::fromUtf8(channel.unit);
}

QString datalogTimeTitle(Language language)
{
    return kTime.in(language) + QStringLiteral(" ms");
}

QString datalogFolder(bool* made)
{
    const QString folder =
        QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation) + QStringLiteral("/Datalog");
    const bool ok = QDir().mkpath(folder);
    if (made) *made = ok;
    return folder;
}

DatalogWriter::Result DatalogWriter::open(const QString& path, DatalogSource source, Language language)
{
    close();
    file_.setFileName(path);
    buffer_.clear();
    rows_ = 0;
    savedRows_ = 0;
    diskFull_ = false;
    error_.clear();
    // NewOnly: two recordings started in the same second never share a file. A device or a pipe
    // is written as it is.
    const QFileInfo info(path);
    const bool device = info.exists() && !info.isFile() && !info.isDir();
    // unbuffered: what write() reports is what the system took
    const QIODevice::OpenMode mode = QIODevice::WriteOnly | QIODevice::Unbuffered;
    if (!file_.open(device ? mode : mode | QIODevice::NewOnly))
        return QFile::exists(path) && !device ? Result::Exists : Result::Failed;
    QStringList header{datalogTimeTitle(language)};
    for (const DatalogChannel& c : datalogChannels(source))
        header << datalogColumnTitle(c, language);
    const QByteArray head = QByteArray(kSignature) + ',' + QByteArray::number(kVersion) + ',' +
                            sourceName(source) + '\n' + header.join(QLatin1Char(',')).toUtf8() + '\n';
    // on disk now, so that a recording stopped in its first second is still a datalog
    if (!write(head) || !file_.flush()) {
        const QString error = errorText();
        file_.close();
        if (!device) file_.remove();
        error_ = error;
        return Result::Failed;
    }
    return Result::Ok;
}

void DatalogWriter::append(qint64 timeMs, std::span<const int> values)
{
    char line[16 * 64];
    char* p = line;
    char* const end = line + sizeof line;
    p = std::to_chars(p, end, timeMs).ptr;
    for (int v : values) {
        if (end - p < 16) break; // more columns than any window shows
        *p++ = ',';
        if (v != kDatalogNoValue) p = std::to_chars(p, end, v).ptr;
    }
    *p++ = '\n';
    buffer_.append(line, p - line);
    ++rows_;
}

bool DatalogWriter::flush()
{
    if (!file_.isOpen()) return false;
    if (!buffer_.isEmpty()) {
        const bool ok = write(buffer_);
        buffer_.clear();
        if (!ok) return false;
        savedRows_ = rows_;
    }
    // to the operating system, which keeps it when this program is killed; no fsync on this thread
    return file_.flush();
}

bool DatalogWriter::write(const QByteArray& bytes)
{
    const qint64 before = file_.pos();
    const qint64 written = file_.write(bytes);
    if (written == bytes.size()) return true;
    // a part of a row would read as a damaged file: back to the last whole row when it can be
    if (written > 0 && !file_.isSequential()) file_.resize(before);
    diskFull_ = written >= 0 || file_.error() == QFileDevice::ResourceError;
    return false;
}

QString DatalogWriter::errorText(Language language) const
{
    if (diskFull_) return kDiskFull.in(language);
    return error_.isEmpty() ? file_.errorString() : error_;
}

bool DatalogWriter::close()
{
    if (!file_.isOpen()) return true;
    const bool ok = flush();
    file_.close();
    return ok && savedRows_ == rows_ && file_.error() == QFileDevice::NoError;
}

Datalog parseDatalog(const QByteArray& bytes)
{
    Datalog log;
    const char* p = bytes.constData();
    const char* const end = p + bytes.size();
    auto nextLine = [&](const char*& lineEnd) -> const char* {
        const char* nl = static_cast<const char*>(memchr(p, '\n', static_cast<size_t>(end - p)));
        if (!nl) return nullptr;
        lineEnd = (nl > p && nl[-1] == '\r') ? nl - 1 : nl;
        const char* begin = p;
        p = nl + 1;
        return begin;
    };

    const char* lineEnd = nullptr;
    const char* line = nextLine(lineEnd);
    if (!line) return log;
    const QList<QByteArray> signature = QByteArray(line, lineEnd - line).split(',');
    if (signature.size() != 3 || signature[0] != kSignature || signature[1].toInt() != kVersion) return log;
    if (signature[2] == "status")
        log.source = DatalogSource::Status;
    else if (signature[2] == "calibration")
        log.source = DatalogSource::Calibration;
    else
        return log;
    log.channels = datalogChannels(log.source);

    // the header may be in any of the program's languages
    line = nextLine(lineEnd);
    if (!line) return log;
    const QStringList header = QString::fromUtf8(line, lineEnd - line).split(QLatin1Char(','));
    if (header.size() != static_cast<int>(log.channels.size()) + 1) return log;
    if (!titleMatches(header[0], [](Language l) { return datalogTimeTitle(l); })) return log;
    for (size_t i = 0; i < log.channels.size(); ++i)
        if (!titleMatches(header[static_cast<int>(i) + 1],
                          [&](Language l) { return datalogColumnTitle(log.channels[i], l); }))
            return log;

    log.status = Datalog::Status::Ok;
    log.values.resize(log.channels.size());
    const size_t columns = log.channels.size() + 1;
    const qsizetype expectedRows = bytes.size() / static_cast<qsizetype>(columns * 3 + 1);
    log.timesMs.reserve(static_cast<size_t>(expectedRows));
    for (auto& v : log.values)
        v.reserve(static_cast<size_t>(expectedRows));
    std::vector<double> fields;
    fields.reserve(columns);
    while (p < end) {
        line = nextLine(lineEnd);
        // a last line without its end was cut while being written
        if (!line) {
            log.status = Datalog::Status::Truncated;
            break;
        }
        // times start at 0 and only grow: a row that goes back was not written by us
        if (!parseRow(line, lineEnd, fields) || fields.size() != columns || !(fields[0] >= 0) ||
            (!log.timesMs.empty() && fields[0] < log.timesMs.back())) {
            log.status = Datalog::Status::Damaged;
            log.damagedRow = log.rowCount() + 1;
            break;
        }
        log.timesMs.push_back(fields[0]);
        for (size_t c = 1; c < columns; ++c)
            log.values[c - 1].push_back(fields[c]);
    }
    return log;
}

Datalog readDatalog(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        Datalog log;
        log.status = Datalog::Status::Unreadable;
        log.errorText = file.errorString();
        return log;
    }
    // any other file, however big, is refused on its first bytes
    if (!file.peek(qstrlen(kSignature)).startsWith(kSignature)) return Datalog();
    return parseDatalog(file.readAll());
}
