#include "archive/datalog.h"

#include "archive/drive_analysis.h"

#include "link/live_rules.h"
#include "link/parameter_catalogue.h"
#include "link/shared_state.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include <algorithm>
#include <charconv>
#include <cmath>

namespace {

constexpr const char* kSignature = "ORVANE datalog";
constexpr int kFirstVersion = 1; // a signature line before the header
constexpr int kVersion = 2;      // the header on line 1, the rest in the sidecar

constexpr LocalText kTime{"Tempo", "Time", "Zaman"};
constexpr LocalText kDiskFull{"disco pieno", "disk full", "disk dolu"};

// Injection times are the ECU's own count, shown as it comes: its physical unit is the ECU's.
constexpr const char* kTinjUnit = "raw";
constexpr LocalText kStateName{"Nome stato centralina", "ECU state name", "ECU durum adi"};
constexpr LocalText kFuel{"Carburante 0=benzina 1=gas", "Fuel 0=petrol 1=gas", "Yakit 0=benzin 1=gaz"};
constexpr LocalText kMarker{"Marcatore", "Marker", "Isaret"};

constexpr DatalogChannel kStatusChannels[] = {
    {"lambda1", {"Lambda1", "Oxygen sensor1", "Lambda1"}, "mV", true},
    {"lambda2", {"Lambda2", "Oxygen sensor2", "Lambda2"}, "mV", true},
    {"lambda1Average", {"Media L1", "Avg OS1", "Ortalama l1"}, "mV"},
    {"lambda2Average", {"Media L2", "Avg OS2", "Ortalama l2"}, "mV"},
    {"rpm", {"Giri", "RPM", "Devir"}, "x min", true},
    {"petrolTinj1", {"Tinj benzina 1", "Petrol tinj 1", "Benzin tinj 1"}, kTinjUnit, true},
    {"petrolTinj2", {"Tinj benzina 2", "Petrol tinj 2", "Benzin tinj 2"}, kTinjUnit},
    {"petrolTinj3", {"Tinj benzina 3", "Petrol tinj 3", "Benzin tinj 3"}, kTinjUnit},
    {"petrolTinj4", {"Tinj benzina 4", "Petrol tinj 4", "Benzin tinj 4"}, kTinjUnit},
    {"petrolTinj5", {"Tinj benzina 5", "Petrol tinj 5", "Benzin tinj 5"}, kTinjUnit},
    {"petrolTinj6", {"Tinj benzina 6", "Petrol tinj 6", "Benzin tinj 6"}, kTinjUnit},
    {"petrolTinj7", {"Tinj benzina 7", "Petrol tinj 7", "Benzin tinj 7"}, kTinjUnit},
    {"petrolTinj8", {"Tinj benzina 8", "Petrol tinj 8", "Benzin tinj 8"}, kTinjUnit},
    {"gasTinj1", {"Tinj gas 1", "Gas tinj 1", "Gaz tinj 1"}, kTinjUnit, true},
    {"gasTinj2", {"Tinj gas 2", "Gas tinj 2", "Gaz tinj 2"}, kTinjUnit},
    {"gasTinj3", {"Tinj gas 3", "Gas tinj 3", "Gaz tinj 3"}, kTinjUnit},
    {"gasTinj4", {"Tinj gas 4", "Gas tinj 4", "Gaz tinj 4"}, kTinjUnit},
    {"gasTinj5", {"Tinj gas 5", "Gas tinj 5", "Gaz tinj 5"}, kTinjUnit},
    {"gasTinj6", {"Tinj gas 6", "Gas tinj 6", "Gaz tinj 6"}, kTinjUnit},
    {"gasTinj7", {"Tinj gas 7", "Gas tinj 7", "Gaz tinj 7"}, kTinjUnit},
    {"gasTinj8", {"Tinj gas 8", "Gas tinj 8", "Gaz tinj 8"}, kTinjUnit},
    {"pressure", {"Pressione", "Pressure", "Basinc"}, "mbar", true},
    {"pressure2", {"Pressione2", "Pressure2", "Basinc2"}, "mbar"},
    {"temperature1", {"Temperatura", "Temperature", "Derece"}, "°C"},
    {"temperature2", {"Temperatura2", "Temperature2", "Derece2"}, "°C"},
    {"level", {"Livello", "Level", "Seviye"}, "mV"},
    {"kgbTab", {"KGBTAB"}, ""},
    {"kgbCor", {"KGBCOR"}, ""},
    {"ecuState", {"Stato centralina", "ECU state", "ECU durumu"}, ""},
    {"ecuStateName", kStateName, "", false, true},
    {"fuel", kFuel, ""},
    {"marker", kMarker, "", false, true},
};

constexpr DatalogChannel kCalibrationChannels[] = {
    {"lambda1", {"Lambda1", "Oxygen sensor1", "Lambda1"}, "mV", true},
    {"lambda2", {"Lambda2", "Oxygen sensor2", "Lambda2"}, "mV", true},
    {"lambda1Average", {"Media L1", "Avg OS1", "Ortalama l1"}, "mV"},
    {"lambda2Average", {"Media L2", "Avg OS2", "Ortalama l2"}, "mV"},
    {"rpm", {"Giri", "RPM", "Devir"}, "x min", true},
    {"tinj", {"Tinj", "Tinj", "Inj Time"}, kTinjUnit, true},
    {"gasTinjAverage", {"Tinj Gas", "Tinj Gas", "Inj Time Gaz"}, kTinjUnit, true},
    {"petrolTinjAverage", {"Tinj Benzina", "Tinj Petrol", "Inj Time Benzin"}, kTinjUnit},
    {"pressure", {"Pressione1", "Pressure1", "Basinc1"}, "mbar", true},
    {"pressure2", {"Pressione2", "Pressure2", "Basinc2"}, "mbar"},
    {"temperature1", {"Temperatura1", "Temperature1", "Derece1"}, "°C"},
    {"temperature2", {"Temperatura2", "Temperature2", "Derece2"}, "°C"},
    {"calibrationKgb", {"KGB taratura", "KGB calibration", "KGB calibration"}, ""},
    {"kgbInUse", {"KGB in uso", "KGB being used", "KGB"}, ""},
    {"ecuState", {"Stato centralina", "ECU state", "ECU durumu"}, ""},
    {"ecuStateName", kStateName, "", false, true},
    {"fuel", kFuel, ""},
    {"calibrationMode",
     {"Taratura attiva 0=no 1=si", "Calibration mode 0=off 1=on", "Kalibrasyon modu 0=kapali 1=acik"},
     ""},
    {"kgbUnderTest", {"KGB in prova", "KGB under test", "Denenen KGB"}, ""},
    {"cellRow", {"Cella riga Tinj", "Cell row Tinj", "Hucre satiri Tinj"}, ""},
    {"cellColumn", {"Cella colonna RPM", "Cell column RPM", "Hucre sutunu RPM"}, ""},
    {"marker", kMarker, "", false, true},
};

// The columns of the first version, as its files name them.
constexpr DatalogChannel kFirstStatusChannels[] = {
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

constexpr DatalogChannel kFirstCalibrationChannels[] = {
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

std::span<const DatalogChannel> channelsOf(DatalogSource source, int version)
{
    if (version == kFirstVersion)
        return source == DatalogSource::Status ? std::span<const DatalogChannel>(kFirstStatusChannels)
                                               : std::span<const DatalogChannel>(kFirstCalibrationChannels);
    return source == DatalogSource::Status ? std::span<const DatalogChannel>(kStatusChannels)
                                           : std::span<const DatalogChannel>(kCalibrationChannels);
}

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

bool headerMatches(const QStringList& header, std::span<const DatalogChannel> channels)
{
    if (header.size() != static_cast<int>(channels.size()) + 1) return false;
    if (!titleMatches(header[0], [](Language l) { return datalogTimeTitle(l); })) return false;
    for (size_t i = 0; i < channels.size(); ++i)
        if (!titleMatches(header[static_cast<int>(i) + 1],
                          [&](Language l) { return datalogColumnTitle(channels[i], l); }))
            return false;
    return true;
}

// A text cell as CSV wants it: quoted when it holds a separator, a quote or a line end.
void appendText(QByteArray& out, const QString& text)
{
    const QByteArray bytes = text.toUtf8();
    if (!bytes.contains(',') && !bytes.contains('"') && !bytes.contains('\n') && !bytes.contains('\r')) {
        out += bytes;
        return;
    }
    out += '"';
    out += QByteArray(bytes).replace("\"", "\"\"");
    out += '"';
}

// Fields of one line, without copying the numbers; false when a number field is not a whole
// number or a text field is badly quoted. An empty number field is a value the window did not have
// (NaN); a text field reads as NaN and its words go to `texts`.
bool parseRow(const char* begin, const char* end, const std::vector<bool>& text, std::vector<double>& fields,
              std::vector<QString>& texts)
{
    fields.clear();
    texts.clear();
    const char* p = begin;
    for (size_t column = 0;; ++column) {
        const char* next = p;
        if (column < text.size() && text[column]) {
            QByteArray cell;
            if (p < end && *p == '"') {
                for (next = p + 1;; ++next) {
                    if (next == end) return false;
                    if (*next != '"') {
                        cell += *next;
                    } else if (next + 1 < end && next[1] == '"') {
                        cell += '"';
                        ++next;
                    } else {
                        ++next;
                        break;
                    }
                }
            } else {
                while (next < end && *next != ',')
                    ++next;
                cell = QByteArray(p, next - p);
            }
            fields.push_back(std::nan(""));
            texts.push_back(QString::fromUtf8(cell));
        } else {
            long long v = 0;
            const auto [after, ec] = std::from_chars(p, end, v);
            if (ec == std::errc()) {
                fields.push_back(static_cast<double>(v));
                next = after;
            } else if (p == end || *p == ',') {
                fields.push_back(std::nan(""));
            } else {
                return false;
            }
        }
        if (next == end) return true;
        if (*next != ',') return false;
        p = next + 1;
    }
}

} // namespace

std::span<const DatalogChannel> datalogChannels(DatalogSource source)
{
    return channelsOf(source, kVersion);
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

QString datalogStateName(int ecuState, const SharedState& state)
{
    return ecuStateMessage(ecuState, state.languageIndex, state.parameterValues[param::changeoverTemperature],
                           state.parameterValues[param::changeoverRpm])
        .trimmed();
}

DatalogInfo datalogInfo(const SharedState& state, const QString& port)
{
    DatalogInfo info;
    if (state.versionReceived == 1)
        info.ecuVersion = QStringLiteral("%1.%2.%3")
                              .arg(state.ecuVersion[1])
                              .arg(state.ecuVersion[2])
                              .arg(state.ecuVersion[3]);
    info.port = port;
    if (state.parametersReceived == 1) {
        const auto [rpm, tinj] = tableAxes(state);
        info.rpmAxis = rpm;
        info.tinjAxis = tinj;
    }
    if (state.tableReceived == 1) {
        std::array<int, 64> table{};
        for (int k = 1; k <= kTableCellCount; ++k)
            table[static_cast<size_t>(k - 1)] = state.tableCells[k];
        info.table = table;
    }
    return info;
}

QString datalogInfoPath(const QString& datalogPath)
{
    QString base = datalogPath;
    if (base.endsWith(QLatin1String(".csv"), Qt::CaseInsensitive)) base.chop(4);
    return base + QStringLiteral(".info.txt");
}

namespace {

constexpr LocalText kInfoWhat{
    "Registrazione di ORVANE Service, finestra \"%1\": il file %2 ha sulla riga 1 i nomi delle colonne, poi "
    "una riga per ogni risposta della centralina, con il tempo in ms dall'inizio. Una cella vuota e' un "
    "valore che la finestra mostrava come NC; i tempi gas sono vuoti quando la vettura va a benzina.",
    "ORVANE Service recording of the \"%1\" window: line 1 of %2 names the columns, then one row per reply "
    "of "
    "the ECU, with the time in ms since the start. An empty cell is a value the window showed as NC; the gas "
    "times are empty while the car runs on petrol.",
    "ORVANE Service kaydi, \"%1\" penceresi: %2 dosyasinin 1. satiri sutun adlaridir, sonra ECU'nun her "
    "cevabi icin bir satir, baslangictan beri ms cinsinden zamanla. Bos hucre, pencerenin NC gosterdigi "
    "degerdir; arac benzinle calisirken gaz sureleri bostur."};
constexpr LocalText kInfoUnits{
    "Tempi di iniezione e asse Tinj come li conta la centralina e li mostrano le finestre (\"raw\").",
    "Injection times and the Tinj axis as the ECU counts them and the windows show them (\"raw\").",
    "Enjeksiyon sureleri ve Tinj ekseni ECU'nun saydigi ve pencerelerin gosterdigi gibi (\"raw\")."};
constexpr LocalText kInfoTable{
    "rpmAxis, tinjAxis: gli assi della tabella KGB all'inizio; table1..table8: le sue righe, dalla riga 1 "
    "(il Tinj piu' basso), ciascuna dalla colonna RPM 1 alla 8.",
    "rpmAxis, tinjAxis: the KGB table's axes at the start; table1..table8: its rows, from row 1 (the lowest "
    "Tinj), each from RPM column 1 to 8.",
    "rpmAxis, tinjAxis: baslangicta KGB tablosunun eksenleri; table1..table8: satirlari, 1. satirdan (en "
    "dusuk Tinj), her biri RPM sutunu 1'den 8'e."};
constexpr LocalText kStatusWindow{"Visualizza stato vettura", "Vehicle status", "Arac durumu"};
constexpr LocalText kCalibrationWindow{"Taratura vettura", "Vehicle calibration", "Arac kalibrasyonu"};

QString numbers(std::span<const int> values)
{
    QStringList out;
    for (int v : values)
        out << QString::number(v);
    return out.join(QLatin1Char(','));
}

QByteArray infoText(const QString& datalogPath, DatalogSource source, Language language,
                    const DatalogInfo& info)
{
    const QString window =
        (source == DatalogSource::Status ? kStatusWindow : kCalibrationWindow).in(language);
    QStringList lines{
        QStringLiteral("# ") + kInfoWhat.in(language).arg(window, QFileInfo(datalogPath).fileName()),
        QStringLiteral("# ") + kInfoUnits.in(language),
        QStringLiteral("# ") + kInfoTable.in(language),
        QStringLiteral("format=%1 %2").arg(QLatin1String(kSignature)).arg(kVersion),
        QStringLiteral("source=%1").arg(QLatin1String(sourceName(source))),
        QStringLiteral("datalog=%1").arg(QFileInfo(datalogPath).fileName()),
        QStringLiteral("started=%1")
            .arg(
                (info.started.isValid() ? info.started : QDateTime::currentDateTime()).toString(Qt::ISODate)),
        QStringLiteral("program=%1")
            .arg(info.program.isEmpty() ? QCoreApplication::applicationName() + QLatin1Char(' ') +
                                              QCoreApplication::applicationVersion()
                                        : info.program)
            .trimmed(),
        QStringLiteral("ecuVersion=%1").arg(info.ecuVersion),
        QStringLiteral("port=%1").arg(info.port),
        QStringLiteral("language=%1")
            .arg(language == Language::Italian   ? "it"
                 : language == Language::English ? "en"
                                                 : "tr"),
    };
    if (info.rpmAxis) lines << QStringLiteral("rpmAxis=") + numbers(*info.rpmAxis);
    if (info.tinjAxis) lines << QStringLiteral("tinjAxis=") + numbers(*info.tinjAxis);
    if (info.table)
        for (int row = 0; row < 8; ++row)
            lines << QStringLiteral("table%1=").arg(row + 1) +
                         numbers(std::span<const int>(*info.table).subspan(static_cast<size_t>(row) * 8, 8));
    return (lines.join(QLatin1Char('\n')) + QLatin1Char('\n')).toUtf8();
}

} // namespace

QMap<QString, QString> readDatalogInfo(const QString& datalogPath)
{
    QMap<QString, QString> values;
    QFile file(datalogInfoPath(datalogPath));
    if (!file.open(QIODevice::ReadOnly)) return values;
    for (const QByteArray& raw : file.readAll().split('\n')) {
        const QString line = QString::fromUtf8(raw).trimmed();
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (line.startsWith(QLatin1Char('#')) || equals <= 0) continue;
        values.insert(line.left(equals), line.mid(equals + 1));
    }
    return values;
}

QString datalogFolder(bool* made)
{
    const QString folder =
        QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation) + QStringLiteral("/Datalog");
    const bool ok = QDir().mkpath(folder);
    if (made) *made = ok;
    return folder;
}

DatalogWriter::Result DatalogWriter::open(const QString& path, DatalogSource source, Language language,
                                          const DatalogInfo& info)
{
    close();
    file_.setFileName(path);
    buffer_.clear();
    rows_ = 0;
    savedRows_ = 0;
    diskFull_ = false;
    error_.clear();
    textColumns_.clear();
    for (const DatalogChannel& c : datalogChannels(source))
        textColumns_.push_back(c.text);
    // NewOnly: two recordings started in the same second never share a file. A device or a pipe
    // is written as it is.
    const QFileInfo fileInfo(path);
    const bool device = fileInfo.exists() && !fileInfo.isFile() && !fileInfo.isDir();
    // unbuffered: what write() reports is what the system took
    const QIODevice::OpenMode mode = QIODevice::WriteOnly | QIODevice::Unbuffered;
    if (!file_.open(device ? mode : mode | QIODevice::NewOnly))
        return QFile::exists(path) && !device ? Result::Exists : Result::Failed;
    QFile sidecar(datalogInfoPath(path));
    if (!device && !sidecar.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
        const bool taken = sidecar.exists();
        error_ = sidecar.errorString();
        file_.close();
        file_.remove();
        return taken ? Result::Exists : Result::Failed;
    }
    QStringList header{datalogTimeTitle(language)};
    for (const DatalogChannel& c : datalogChannels(source))
        header << datalogColumnTitle(c, language);
    const QByteArray head = header.join(QLatin1Char(',')).toUtf8() + '\n';
    const QByteArray about = infoText(path, source, language, info);
    // on disk now, so that a recording stopped in its first second is still a datalog
    if (!write(head) || !file_.flush() || (!device && sidecar.write(about) != about.size())) {
        if (!diskFull_ && sidecar.isOpen() && sidecar.error() == QFileDevice::ResourceError) diskFull_ = true;
        const QString error = errorText();
        file_.close();
        if (!device) {
            file_.remove();
            sidecar.remove();
        }
        error_ = error;
        return Result::Failed;
    }
    return Result::Ok;
}

void DatalogWriter::append(qint64 timeMs, std::span<const int> values, std::span<const QString> texts)
{
    char number[24];
    buffer_.append(number, std::to_chars(number, number + sizeof number, timeMs).ptr - number);
    size_t text = 0;
    for (size_t c = 0; c < values.size(); ++c) {
        buffer_.append(',');
        if (c < textColumns_.size() && textColumns_[c]) {
            if (text < texts.size()) appendText(buffer_, texts[text]);
            ++text;
        } else if (values[c] != kDatalogNoValue) {
            buffer_.append(number, std::to_chars(number, number + sizeof number, values[c]).ptr - number);
        }
    }
    buffer_.append('\n');
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
    // the first version: a signature line names the window, the header follows
    int version = kVersion;
    std::optional<DatalogSource> named;
    if (QByteArray(line, lineEnd - line).startsWith(kSignature)) {
        const QList<QByteArray> signature = QByteArray(line, lineEnd - line).split(',');
        if (signature.size() != 3 || signature[0] != kSignature || signature[1].toInt() != kFirstVersion)
            return log;
        if (signature[2] == "status")
            named = DatalogSource::Status;
        else if (signature[2] == "calibration")
            named = DatalogSource::Calibration;
        else
            return log;
        version = kFirstVersion;
        line = nextLine(lineEnd);
        if (!line) return log;
    }
    // the header, in any of the program's languages, says which window recorded the drive
    const QStringList header = QString::fromUtf8(line, lineEnd - line).split(QLatin1Char(','));
    bool found = false;
    for (DatalogSource source : {DatalogSource::Status, DatalogSource::Calibration}) {
        if (named && *named != source) continue;
        if (!headerMatches(header, channelsOf(source, version))) continue;
        log.source = source;
        log.channels = channelsOf(source, version);
        found = true;
        break;
    }
    if (!found) return log;

    log.status = Datalog::Status::Ok;
    log.values.resize(log.channels.size());
    const size_t columns = log.channels.size() + 1;
    std::vector<bool> text{false};
    int markerColumn = -1;
    for (size_t c = 0; c < log.channels.size(); ++c) {
        text.push_back(log.channels[c].text);
        if (std::string_view(log.channels[c].key) == "marker") markerColumn = static_cast<int>(c) + 1;
    }
    const qsizetype expectedRows = bytes.size() / static_cast<qsizetype>(columns * 3 + 1);
    log.timesMs.reserve(static_cast<size_t>(expectedRows));
    for (auto& v : log.values)
        v.reserve(static_cast<size_t>(expectedRows));
    // each row read, with its place in the file (1 = the first data row): the times are checked
    // once their neighbours are known
    std::vector<int> fileRows;
    std::vector<int> skipped;
    std::vector<double> fields;
    std::vector<QString> texts;
    fields.reserve(columns);
    // the marker's place among the text cells of a row
    const size_t markerText =
        markerColumn > 0 ? static_cast<size_t>(std::count(text.begin(), text.begin() + markerColumn, true))
                         : 0;
    int fileRow = 0;
    while (p < end) {
        line = nextLine(lineEnd);
        // a last line without its end was cut while being written
        if (!line) {
            log.status = Datalog::Status::Truncated;
            break;
        }
        ++fileRow;
        if (!parseRow(line, lineEnd, text, fields, texts) || fields.size() != columns || !(fields[0] >= 0)) {
            skipped.push_back(fileRow);
            continue;
        }
        log.timesMs.push_back(fields[0]);
        for (size_t c = 1; c < columns; ++c)
            log.values[c - 1].push_back(fields[c]);
        fileRows.push_back(fileRow);
        if (markerColumn > 0 && !texts[markerText].isEmpty())
            log.markers.push_back({log.rowCount() - 1, fields[0], texts[markerText]});
    }

    // Times only grow (equal ones are two replies in the same millisecond). A row whose time goes
    // back, or jumps past the next row that follows on from the rows before, is not ours.
    const size_t n = log.timesMs.size();
    std::vector<int> newIndex(n, -1);
    size_t kept = 0;
    for (size_t i = 0; i < n; ++i) {
        const double t = log.timesMs[i];
        const bool back = kept > 0 && t < log.timesMs[kept - 1];
        const bool ahead =
            i + 1 < n && t > log.timesMs[i + 1] && (kept == 0 || log.timesMs[i + 1] >= log.timesMs[kept - 1]);
        if (back || ahead) {
            skipped.push_back(fileRows[i]);
            continue;
        }
        newIndex[i] = static_cast<int>(kept);
        log.timesMs[kept] = t;
        for (auto& v : log.values)
            v[kept] = v[i];
        ++kept;
    }
    if (kept < n) {
        log.timesMs.resize(kept);
        for (auto& v : log.values)
            v.resize(kept);
        std::vector<DatalogMarker> markers;
        for (DatalogMarker& m : log.markers)
            if (const int row = newIndex[static_cast<size_t>(m.row)]; row >= 0) {
                m.row = row;
                markers.push_back(std::move(m));
            }
        log.markers = std::move(markers);
    }
    if (!skipped.empty()) {
        log.status = Datalog::Status::Damaged;
        log.skippedRows = static_cast<int>(skipped.size());
        log.firstSkippedRow = *std::min_element(skipped.begin(), skipped.end());
        log.damagedRow = log.firstSkippedRow;
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
    // any other file, however big, is refused on its first bytes: ours begin with the signature
    // (the first version) or the time's title
    const QByteArray start = file.peek(64);
    bool ours = start.startsWith(kSignature);
    for (Language l : kLanguages)
        ours = ours || start.startsWith(datalogTimeTitle(l).toUtf8() + ',');
    if (!ours) return Datalog();
    return parseDatalog(file.readAll());
}
