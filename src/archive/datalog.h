#pragma once

// A drive recorded as CSV: line 1 the header, naming each column in the recording user's language
// with its unit, then one row per ECU reply, time since the start first, so that any spreadsheet
// program or pandas opens it as it is. Values are the whole numbers the window showed; two columns
// hold words (the ECU state's name, the markers). What the file is, the versions, the port and the
// table at the start go in a sidecar file beside it ("<name>.info.txt"). Files of the first
// version, a signature line before the header, still read. No widget here: the recorder and the
// viewer sit above.

#include "link/language.h"

#include <QByteArray>
#include <QDateTime>
#include <QFile>
#include <QMap>
#include <QString>
#include <QStringList>

#include <array>
#include <limits>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

struct SharedState;

// A value the window showed as "NC": written as an empty cell, read back as NaN.
constexpr int kDatalogNoValue = std::numeric_limits<int>::min();

// Which window recorded the drive; each has its own fixed set of columns.
enum class DatalogSource { Status, Calibration };

struct DatalogChannel {
    const char* key; // stable across languages and versions
    LocalText name;
    const char* unit; // "" when the value has none
    bool shownByDefault = false;
    bool text = false; // words, not a number (read back as NaN; markers into Datalog::markers)
};

std::span<const DatalogChannel> datalogChannels(DatalogSource source);
// "Lambda1 mV": a column's header cell.
QString datalogColumnTitle(const DatalogChannel& channel, Language language);
QString datalogTimeTitle(Language language);

// The ECU state as the "ecuStateName" column words it: the status window's message, in the
// language `state` holds; empty for a state without one.
QString datalogStateName(int ecuState, const SharedState& state);

// What the sidecar file says besides the source and the language.
struct DatalogInfo {
    QString program;    // "orvane 1.4.3"; empty: the running program's name and version
    QString ecuVersion; // "1.4.3"; empty while the ECU has not said
    QString port;
    QDateTime started; // invalid: now
    std::optional<std::array<int, 8>> rpmAxis, tinjAxis;
    std::optional<std::array<int, 64>> table; // cell k = 1 + 8 x Tinj row + RPM column at [k - 1]
};
// From what the program holds of the ECU now (axes and table only once read).
DatalogInfo datalogInfo(const SharedState& state, const QString& port);
// "drive.info.txt" beside "drive.csv".
QString datalogInfoPath(const QString& datalogPath);
// The sidecar's key=value lines ("source", "started", "program", "ecuVersion", "port", "language",
// "rpmAxis", "tinjAxis", "table1".."table8", numbers comma-separated); empty when there is none.
QMap<QString, QString> readDatalogInfo(const QString& datalogPath);

namespace datalog_texts {
inline constexpr LocalText fileFilter{"Registrazioni (*.csv)", "Datalogs (*.csv)", "Kayitlar (*.csv)"};
inline constexpr LocalText cannotOpen{"Impossibile aprire il file %1 (%2).", "Cannot open the file %1 (%2).",
                                      "%1 dosyasi acilamiyor (%2)."};
inline constexpr LocalText cannotCreate{"Impossibile creare il file di registrazione %1 (%2).",
                                        "Cannot create the recording file %1 (%2).",
                                        "Kayit dosyasi olusturulamiyor: %1 (%2)."};
} // namespace datalog_texts

// Documents/Datalog, beside the vehicle archive; made when missing. `made` is false when it could
// not be made.
QString datalogFolder(bool* made = nullptr);

// Writes rows into a buffer and hands the buffer to the file only on flush(), so a reply costs a few
// hundred bytes of formatting and no system call. Opening never replaces an existing file.
class DatalogWriter {
public:
    enum class Result { Ok, Exists, Failed };

    ~DatalogWriter() { close(); }
    // Creates `path` and its sidecar (never over an existing file) and writes the header to disk;
    // on failure no file is left behind. A device gets no sidecar.
    Result open(const QString& path, DatalogSource source, Language language, const DatalogInfo& info = {});
    bool isOpen() const { return file_.isOpen(); }
    // `values`: one per channel, kDatalogNoValue for an empty cell (and for a text column);
    // `texts`: the text columns' cells, in channel order.
    void append(qint64 timeMs, std::span<const int> values, std::span<const QString> texts = {});
    // Everything buffered goes to the file; false when the file would not take it (disk full).
    bool flush();
    // Flushes and closes; false when the last rows could not be written.
    bool close();
    QString errorText(Language language = Language::English) const;
    qint64 rows() const { return rows_; }
    qint64 savedRows() const { return savedRows_; } // rows known to be in the file
    QString path() const { return file_.fileName(); }

private:
    bool write(const QByteArray& bytes);

    QFile file_;
    std::vector<bool> textColumns_;
    QByteArray buffer_;
    qint64 rows_ = 0;
    qint64 savedRows_ = 0;
    bool diskFull_ = false;
    QString error_; // why open() failed, after the file is gone
};

// A numbered marker the user added while recording, or one the program set by itself (a
// change-over, a decision of the automatic calibration); `text` is what the file says.
struct DatalogMarker {
    int row = 0; // 0 = the first data row
    double timeMs = 0;
    QString text;
};

// A datalog read back.
struct Datalog {
    enum class Status {
        Ok,
        Truncated,  // the last row was cut off while being written: read up to the one before
        Damaged,    // rows not ours were skipped (skippedRows, the first at damagedRow); the rest read
        NotDatalog, // not one of ours: nothing read
        Unreadable, // could not be opened
    };
    Status status = Status::NotDatalog;
    DatalogSource source = DatalogSource::Status;
    std::span<const DatalogChannel> channels;
    std::vector<double> timesMs;
    std::vector<std::vector<double>> values; // values[channel][row]
    int damagedRow = 0;
    // Damaged rows left out of what was read, and the first of them (1 = the first data row).
    int skippedRows = 0;
    int firstSkippedRow = 0;
    std::vector<DatalogMarker> markers;
    int rowCount() const { return static_cast<int>(timesMs.size()); }
    // The column with this key, -1 when the log has none.
    int channelIndex(std::string_view key) const
    {
        for (size_t i = 0; i < channels.size(); ++i)
            if (key == channels[i].key) return static_cast<int>(i);
        return -1;
    }
    QString errorText;
};

Datalog readDatalog(const QString& path);
// The same from bytes already in memory.
Datalog parseDatalog(const QByteArray& bytes);
