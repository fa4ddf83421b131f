#include "cli/cli_run.h"

#include "app/command_line.h"
#include "archive/datalog.h"
#include "archive/status_row.h"
#include "archive/vehicle_transfer.h"
#include "archive/workbook_file.h"
#include "cli/cli_help.h"
#include "cli/cli_texts.h"
#include "cli/ecu_session.h"
#include "link/eol_sequence.h"
#include "link/frames.h"
#include "link/number_text.h"
#include "link/parameter_catalogue.h"
#include "link/parameter_rules.h"
#include "link/write_report.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>
#include <QTimer>

#include <cerrno>
#include <cstdio>
#include <optional>
#include <poll.h>
#include <unistd.h>

namespace {

// The archive transfer's pace: one frame every 200 ms, each repeated until its echo.
constexpr int kWritePeriodMs = 200;
// The status window's supervision: two periods of 2 s without a reply and the link is lost.
constexpr int kStatusSilenceMs = 4000;
// How long an abandoned write waits for the read-back its report promises.
constexpr int kReadBackWaitMs = 3000;

void printData(const QString& text)
{
    std::fputs(text.toLocal8Bit().constData(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

void printJson(const QJsonObject& object)
{
    std::fputs(QJsonDocument(object).toJson(QJsonDocument::Compact).constData(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

QJsonObject itemJson(const WriteItem& item, Language language)
{
    QJsonObject o;
    if (item.cell) {
        o[QStringLiteral("kind")] = QStringLiteral("cell");
        o[QStringLiteral("cell")] = item.index;
        o[QStringLiteral("row")] = (item.index - 1) / 8 + 1;
        o[QStringLiteral("column")] = (item.index - 1) % 8 + 1;
    } else {
        o[QStringLiteral("kind")] = QStringLiteral("parameter");
        o[QStringLiteral("id")] = item.index;
        o[QStringLiteral("name")] = QString::fromLatin1(parameterInfo(item.index)->name);
    }
    o[QStringLiteral("label")] = writeItemLabel(item, language);
    return o;
}

QJsonArray itemsJson(const std::vector<WriteItem>& items, Language language)
{
    QJsonArray a;
    for (const WriteItem& item : items)
        a.append(itemJson(item, language));
    return a;
}

const char* endName(WriteReport::End end)
{
    switch (end) {
    case WriteReport::End::Confirmed:
        return "confirmed";
    case WriteReport::End::Abandoned:
        return "stopped";
    case WriteReport::End::PortLost:
        return "portLost";
    case WriteReport::End::Unanswered:
        break;
    }
    return "unanswered";
}

std::optional<int> parameterId(const QString& text)
{
    bool number = false;
    const int id = text.toInt(&number);
    if (number) return parameterInfo(id) ? std::optional<int>(id) : std::nullopt;
    for (const ParameterInfo& info : parameterCatalogue())
        if (text == QLatin1String(info.name)) return info.id;
    return std::nullopt;
}

// A CSV cell or field: quoted when it holds a separator or a quote.
// The status window's row of one reply: the averages and the missing-signal rules run over the
// replies as they come, as the window runs them.
class StatusRows {
public:
    const std::vector<int>& next(const LiveStatus& live)
    {
        if (!seeded_) values_.seed(live);
        seeded_ = true;
        const StatusValues::Views views = values_.tick(live, rpmEnabled_, tinjEnabled_);
        rpmEnabled_ = views.rpm.enabled;
        for (size_t i = 0; i < tinjEnabled_.size(); ++i)
            tinjEnabled_[i] = views.tinj[i].enabled;
        values_.row(live, row_);
        return row_;
    }

private:
    StatusValues values_;
    std::array<bool, kCylinderCount> tinjEnabled_ = [] {
        std::array<bool, kCylinderCount> all{};
        all.fill(true);
        return all;
    }();
    bool rpmEnabled_ = true;
    bool seeded_ = false;
    std::vector<int> row_;
};

class Runner {
public:
    explicit Runner(const CliRequest& request) : request_(request), session_(request) {}

    int run();

private:
    Language language() const { return request_.language; }
    QString text(const LocalText& t) const { return t.in(language()); }
    void say(const QString& message) const { session_.say(message); }
    int usage(const QString& reason) const
    {
        say(QStringLiteral("orvane-cli: ") + reason);
        return kExitUsage;
    }

    // The connection and the version: kExitDone or the failure, told.
    int connect();
    // Asks on the terminal unless --yes. Nothing when the answer is yes; otherwise the exit status
    // to stop with, told: 0 for a no (`onNo`), 2 without a terminal to ask on, 130 for Ctrl+C.
    std::optional<int> refusal(const QString& question, const QString& onNo) const;
    // Writes through the write session at the transfer's pace and tells its progress and its end;
    // fills `out` with what happened.
    int write(const Writer& writer, const std::vector<WriteValue>& values, QJsonObject& out);
    // Reads the written values back from the ECU and compares them.
    int verify(const std::vector<WriteValue>& values, QJsonObject& out);
    // Both, for one value or a few.
    int writeAndVerify(const Writer& writer, const std::vector<WriteValue>& values, QJsonObject& out)
    {
        const int written = write(writer, values, out);
        return written == kExitDone ? verify(values, out) : written;
    }

    // One value the ECU was just read for: written unless it holds it already; `out` printed.
    int writeOne(const Writer& writer, const WriteItem& item, int value, QJsonObject& out)
    {
        const SharedState& state = session_.state;
        int result = kExitDone;
        if ((item.cell ? state.tableCells[item.index] : state.parameterValues[item.index]) == value) {
            say(text(cli_texts::sameValue).arg(writeItemLabel(item, language())).arg(value));
            out[QStringLiteral("end")] = QStringLiteral("nothing to send");
        } else {
            result = writeAndVerify(writer, {{item, value}}, out);
        }
        if (request_.json) printJson(out);
        return result;
    }
    // Reads the workbook, then the ECU, and what the file would change; kExitDone or the failure, told.
    int compareWithFile(const QString& path, VehicleDifference& difference);

    int info();
    int backup();
    int diff();
    int restore();
    int defaults();
    int tableShow();
    int tableSet();
    int tableLoad();
    int paramGet();
    int paramSet();
    int status();
    int log();
    int eol();

    const CliRequest& request_;
    EcuSession session_;
};

int Runner::run()
{
    const QString& c = request_.command;
    const QString& sub = request_.subcommand;
    if (c == QLatin1String("info")) return info();
    if (c == QLatin1String("backup")) return backup();
    if (c == QLatin1String("diff")) return diff();
    if (c == QLatin1String("restore")) return restore();
    if (c == QLatin1String("defaults")) return defaults();
    if (c == QLatin1String("table") && sub == QLatin1String("show")) return tableShow();
    if (c == QLatin1String("table") && sub == QLatin1String("set")) return tableSet();
    if (c == QLatin1String("table")) return tableLoad();
    if (c == QLatin1String("param") && sub == QLatin1String("get")) return paramGet();
    if (c == QLatin1String("param")) return paramSet();
    if (c == QLatin1String("status")) return status();
    if (c == QLatin1String("log")) return log();
    return eol();
}

int Runner::connect()
{
    if (const int opened = session_.open()) return opened;
    return session_.readVersion();
}

std::optional<int> Runner::refusal(const QString& question, const QString& onNo) const
{
    if (request_.yes) return std::nullopt;
    if (!::isatty(STDIN_FILENO)) {
        say(text(cli_texts::noTerminal));
        return kExitUsage;
    }
    std::fputs((question + text(cli_texts::yesNo)).toLocal8Bit().constData(), stderr);
    std::fflush(stderr);
    QByteArray answer;
    for (;;) {
        pollfd wait[2] = {{STDIN_FILENO, POLLIN, 0}, {interruptDescriptor(), POLLIN, 0}};
        if (::poll(wait, wait[1].fd >= 0 ? 2 : 1, -1) < 0) {
            if (errno == EINTR) continue;
            break;
        }
        if (wait[1].revents & POLLIN) {
            std::fputc('\n', stderr);
            say(text(cli_texts::interrupted));
            return kExitInterrupted;
        }
        char c = 0;
        if (::read(STDIN_FILENO, &c, 1) <= 0 || c == '\n') break;
        answer.append(c);
    }
    const QByteArray word = answer.trimmed().toLower();
    // any of the three languages' yes: s(i), y(es), e(vet)
    if (!word.isEmpty() && (word[0] == 's' || word[0] == 'y' || word[0] == 'e')) return std::nullopt;
    say(onNo);
    return kExitDone;
}

int Runner::write(const Writer& writer, const std::vector<WriteValue>& values, QJsonObject& out)
{
    WriteSession& writes = session_.writes;
    if (!writes.begin(writer, values)) {
        say(writeRefusalText(writes, language()));
        return kExitNotConfirmed;
    }
    const bool terminal = ::isatty(STDERR_FILENO);
    int shownConfirmed = -1;
    bool shownWaiting = false;
    const auto progress = [&] {
        const QString line = writes.progressLine(language());
        if (terminal) {
            std::fprintf(stderr, "\r%s\x1b[K", line.toLocal8Bit().constData());
            std::fflush(stderr);
        } else if (writes.confirmedCount() != shownConfirmed || writes.waitingForEcu() != shownWaiting) {
            // a log gets a line per step, not one per frame
            shownConfirmed = writes.confirmedCount();
            shownWaiting = writes.waitingForEcu();
            say(line);
        }
    };
    std::optional<WriteReport> report;
    QEventLoop loop;
    QTimer ticks;
    ticks.setInterval(kWritePeriodMs);
    const auto tick = [&] {
        // a script cannot wait for ever: past the patience the value counts as unanswered
        if (writes.waitingForEcu()) {
            writes.giveUp();
            return;
        }
        if (!writes.tick()) ticks.stop();
    };
    QObject::connect(&ticks, &QTimer::timeout, &loop, tick);
    QObject::connect(&writes, &WriteSession::progressed, &loop, progress);
    QObject::connect(&writes, &WriteSession::ended, &loop, [&](const WriteReport& r) {
        report = r;
        ticks.stop();
        loop.quit();
    });
    QObject::connect(&session_, &EcuSession::interruptRequested, &loop, [&] { writes.abandon(); });
    progress();
    if (session_.interrupted())
        writes.abandon();
    else
        tick(); // the first frame at once, then the pace
    if (!report) {
        ticks.start();
        loop.exec();
    }
    // the last echo ends the write without a progress of its own
    if (report->complete()) progress();
    if (terminal) std::fputc('\n', stderr);
    out[QStringLiteral("toWrite")] = report->toWrite;
    out[QStringLiteral("end")] = QString::fromLatin1(endName(report->end));
    out[QStringLiteral("confirmed")] = itemsJson(report->confirmed, language());
    out[QStringLiteral("maybeArrived")] = itemsJson(report->maybeArrived, language());
    out[QStringLiteral("notSent")] = itemsJson(report->notSent, language());
    out[QStringLiteral("verified")] = false;
    out[QStringLiteral("mismatches")] = QJsonArray();
    if (!report->complete()) {
        say(writeReportText(*report, language(), session_.portName()));
        // the report says the ECU is being read again: so it is, briefly, unless the port is gone
        if (report->end != WriteReport::End::PortLost)
            session_.waitFor([&writes] { return !writes.ecuUnverified(); }, kReadBackWaitMs);
        return kExitNotConfirmed;
    }
    return kExitDone;
}

int Runner::verify(const std::vector<WriteValue>& values, QJsonObject& out)
{
    bool parameters = false, cells = false;
    for (const WriteValue& v : values)
        (v.item.cell ? cells : parameters) = true;
    if (parameters)
        if (const int read = session_.readParameters())
            return read == kExitInterrupted ? kExitNotConfirmed : read;
    if (cells)
        if (const int read = session_.readTable()) return read == kExitInterrupted ? kExitNotConfirmed : read;
    QStringList lines;
    std::vector<WriteItem> mismatches;
    for (const WriteValue& v : values) {
        const int held = v.item.cell ? session_.state.tableCells[v.item.index]
                                     : session_.state.parameterValues[v.item.index];
        if (held == v.value) continue;
        mismatches.push_back(v.item);
        lines << text(cli_texts::mismatch)
                     .arg(writeItemLabel(v.item, language()), QString::number(held),
                          QString::number(v.value));
    }
    out[QStringLiteral("verified")] = mismatches.empty();
    out[QStringLiteral("mismatches")] = itemsJson(mismatches, language());
    if (mismatches.empty()) {
        say(text(cli_texts::verified));
        return kExitDone;
    }
    say(text(cli_texts::mismatched).arg(mismatches.size()) + QLatin1Char('\n') +
        lines.join(QLatin1Char('\n')));
    return kExitNotConfirmed;
}

int Runner::info()
{
    if (const int failed = connect()) return failed;
    if (request_.json) {
        printJson({{QStringLiteral("program"), QStringLiteral("orvane-cli")},
                   {QStringLiteral("version"), QLatin1String(kOrvaneVersion)},
                   {QStringLiteral("ecuVersion"), session_.ecuVersionText()},
                   {QStringLiteral("port"), session_.portName()},
                   {QStringLiteral("settings"), request_.settings},
                   {QStringLiteral("simulated"), request_.simulate}});
    } else {
        printData(QStringLiteral("orvane-cli %1").arg(QLatin1String(kOrvaneVersion)));
        printData(QStringLiteral("ECU %1").arg(session_.ecuVersionText()));
        printData(QStringLiteral("port %1 %2").arg(session_.portName(), request_.settings));
    }
    return kExitDone;
}

int Runner::backup()
{
    const QString path = request_.operands[0];
    if (QFileInfo::exists(path)) {
        if (const auto stop = refusal(text(archive_texts::replaceQuestion).arg(path),
                                      text(cli_texts::notReplaced).arg(path)))
            return *stop;
    }
    if (const int failed = connect()) return failed;
    if (const int failed = session_.readParameters()) return failed;
    if (const int failed = session_.readTable()) return failed;
    // the link is done with before the disk: Ctrl+C now leaves the old file or the new one
    if (const auto problem = writeWorkbookFile(path, vehicleSetOf(session_.state))) {
        say(workbookProblemText(*problem, language()));
        return kExitFileRefused;
    }
    say(text(archive_texts::saved).arg(path));
    if (request_.json)
        printJson({{QStringLiteral("file"), path},
                   {QStringLiteral("ecuVersion"), session_.ecuVersionText()},
                   {QStringLiteral("parameters"), kArchivedParameterCount},
                   {QStringLiteral("cells"), kTableCellCount}});
    return kExitDone;
}

namespace {
QJsonArray changesJson(const VehicleDifference& difference, Language language)
{
    QJsonArray changes;
    for (const VehicleChange& change : difference.changes) {
        QJsonObject o = itemJson(change.item, language);
        o[QStringLiteral("ecu")] = change.ecu;
        o[QStringLiteral("file")] = change.file;
        changes.append(o);
    }
    return changes;
}
} // namespace

int Runner::compareWithFile(const QString& path, VehicleDifference& difference)
{
    // the file first: a refused file costs no time on the line
    auto read = readWorkbookFile(path);
    if (const auto* problem = std::get_if<WorkbookProblem>(&read)) {
        say(workbookProblemText(*problem, language()));
        return kExitFileRefused;
    }
    if (const int failed = connect()) return failed;
    if (const int failed = session_.readParameters()) return failed;
    if (const int failed = session_.readTable()) return failed;
    difference = vehicleDifference(vehicleSetOf(session_.state), std::get<VehicleSet>(read));
    return kExitDone;
}

int Runner::diff()
{
    const QString path = request_.operands[0];
    VehicleDifference difference;
    if (const int failed = compareWithFile(path, difference)) return failed;
    if (request_.json) {
        printJson({{QStringLiteral("file"), path},
                   {QStringLiteral("equal"), difference.equal()},
                   {QStringLiteral("changes"), changesJson(difference, language())}});
    } else {
        for (const VehicleChange& change : difference.changes)
            printData(vehicleChangeLine(change, language()));
    }
    if (difference.equal()) say(text(archive_texts::equal).arg(QFileInfo(path).fileName()));
    return difference.equal() ? kExitDone : kExitDifferent;
}

int Runner::restore()
{
    const QString path = request_.operands[0];
    VehicleDifference difference;
    if (const int failed = compareWithFile(path, difference)) return failed;
    const QString name = QFileInfo(path).fileName();
    QJsonObject out{{QStringLiteral("file"), path},
                    {QStringLiteral("changes"), changesJson(difference, language())}};
    if (difference.equal()) {
        say(text(archive_texts::equal).arg(name));
        out[QStringLiteral("end")] = QStringLiteral("nothing to send");
        if (request_.json) printJson(out);
        return kExitDone;
    }
    QStringList lines;
    for (const VehicleChange& change : difference.changes)
        lines << vehicleChangeLine(change, language());
    if (!request_.json) printData(lines.join(QLatin1Char('\n')));
    const int changes = static_cast<int>(difference.changes.size());
    const QString question = text(archive_texts::confirm)
                                 .arg(name)
                                 .arg(changes)
                                 .arg(difference.parameterChanges)
                                 .arg(changes - difference.parameterChanges);
    if (const auto stop =
            refusal(request_.json ? lines.join(QLatin1Char('\n')) + QLatin1Char('\n') + question : question,
                    text(cli_texts::declined)))
        return *stop;
    int written = write({&session_, archive_texts::transfer}, difference.values, out);
    if (written == kExitDone) {
        say(text(archive_texts::done));
        written = verify(difference.values, out);
    }
    if (request_.json) printJson(out);
    return written;
}

int Runner::defaults()
{
    if (const int failed = connect()) return failed;
    if (const auto stop = refusal(text(archive_texts::defaultsQuestion), text(cli_texts::declined)))
        return *stop;
    SharedState& state = session_.state;
    if (!session_.writes.claim({&session_, archive_texts::defaults})) return kExitNotConfirmed;
    state.defaultsAcknowledged = 0;
    // the archive window's pace: again after 0.5 s, then every 2 s
    EcuSession::Wait wait = EcuSession::Wait::TimedOut;
    for (int send = 1; send <= EcuSession::kTries && wait == EcuSession::Wait::TimedOut; ++send) {
        if (send > 1) say(text(archive_texts::defaultsWaiting).arg(send));
        session_.link.send(frames::restoreDefaults());
        wait = session_.waitFor([&state] { return state.defaultsAcknowledged == 1; }, send == 1 ? 500 : 2000);
    }
    session_.writes.release(&session_);
    if (wait == EcuSession::Wait::Interrupted) {
        say(text(archive_texts::defaultsAbandoned));
        return kExitNotConfirmed;
    }
    if (wait != EcuSession::Wait::Done) return session_.failed(wait);
    if (const int failed = session_.readParameters()) return failed;
    if (const int failed = session_.readTable()) return failed;
    say(text(archive_texts::defaultsDone));
    if (request_.json)
        printJson(
            {{QStringLiteral("restored"), true}, {QStringLiteral("ecuVersion"), session_.ecuVersionText()}});
    return kExitDone;
}

int Runner::tableShow()
{
    if (const int failed = connect()) return failed;
    if (const int failed = session_.readParameters()) return failed;
    if (const int failed = session_.readTable()) return failed;
    const SharedState& state = session_.state;
    if (request_.json) {
        QJsonArray rpm, tinj, rows;
        for (int i = 0; i < 8; ++i) {
            rpm.append(state.parameterValues[param::mapRpmAxis + i]);
            tinj.append(state.parameterValues[param::mapTinjAxis + i]);
            QJsonArray row;
            for (int c = 0; c < 8; ++c)
                row.append(state.tableCells[1 + 8 * i + c]);
            rows.append(row);
        }
        printJson({{QStringLiteral("rpmAxis"), rpm},
                   {QStringLiteral("tinjAxis"), tinj},
                   {QStringLiteral("rows"), rows}});
        return kExitDone;
    }
    QString header = QStringLiteral("TINJ\\RPM");
    for (int c = 0; c < 8; ++c)
        header += QStringLiteral("%1").arg(state.parameterValues[param::mapRpmAxis + c], 7);
    printData(header);
    for (int r = 0; r < 8; ++r) {
        QString line = QStringLiteral("%1").arg(state.parameterValues[param::mapTinjAxis + r], 8);
        for (int c = 0; c < 8; ++c)
            line += QStringLiteral("%1").arg(state.tableCells[1 + 8 * r + c], 7);
        printData(line);
    }
    return kExitDone;
}

int Runner::tableSet()
{
    const auto place = [this](const QString& what, const QString& value) -> std::optional<int> {
        bool ok = false;
        const int n = value.toInt(&ok);
        if (ok && n >= 1 && n <= 8) return n;
        usage(text(cli_texts::rowColumn).arg(what, value.left(40)));
        return std::nullopt;
    };
    const auto row = place(QStringLiteral("ROW"), request_.operands[0]);
    if (!row) return kExitUsage;
    const auto column = place(QStringLiteral("COL"), request_.operands[1]);
    if (!column) return kExitUsage;
    const WriteItem item{true, 8 * (*row - 1) + *column};
    FieldRule rule{{""}, 0, kCellMax, true, writeItemLabel(item, language())};
    const BoxReading reading = readWholeNumber(request_.operands[2], rule, language());
    if (!reading.value) return usage(reading.refusal);

    if (const int failed = connect()) return failed;
    if (const int failed = session_.readTable()) return failed;
    const int value = static_cast<int>(*reading.value);
    QJsonObject out = itemJson(item, language());
    out[QStringLiteral("value")] = value;
    return writeOne({&session_, cli_texts::writingTable}, item, value, out);
}

int Runner::tableLoad()
{
    const QString path = request_.operands[0];
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        const auto kind =
            file.exists() ? WorkbookProblem::Kind::FileUnreadable : WorkbookProblem::Kind::FileMissing;
        say(workbookProblemText({kind, {}, file.exists() ? file.errorString() : path}, language()));
        return kExitFileRefused;
    }
    // a table is 8 lines of 8 values; anything larger is not one
    const QByteArray bytes = file.read(64 * 1024);
    QString content = QString::fromUtf8(bytes);
    if (content.startsWith(QChar(0xFEFF))) content.remove(0, 1);
    QStringList lines;
    for (const QString& line : content.split(QLatin1Char('\n')))
        if (!line.trimmed().isEmpty()) lines << line.trimmed();
    const QString name = QFileInfo(path).fileName();
    if (lines.size() != 8) {
        say(text(cli_texts::csvLines).arg(name).arg(lines.size()));
        return kExitFileRefused;
    }
    std::vector<WriteValue> values;
    for (int r = 0; r < 8; ++r) {
        // a semicolon file writes its fractions with a comma
        const QChar separator = lines[r].contains(QLatin1Char(';')) ? QLatin1Char(';') : QLatin1Char(',');
        const QStringList fields = lines[r].split(separator);
        if (fields.size() != 8) {
            say(text(cli_texts::csvValues).arg(name).arg(r + 1).arg(fields.size()));
            return kExitFileRefused;
        }
        for (int c = 0; c < 8; ++c) {
            const WriteItem item{true, 8 * r + c + 1};
            FieldRule rule{{""}, 0, kCellMax, true, writeItemLabel(item, language())};
            const BoxReading reading = readWholeNumber(fields[c], rule, language());
            if (!reading.value) {
                say(text(cli_texts::csvValue).arg(name).arg(r + 1).arg(reading.refusal));
                return kExitFileRefused;
            }
            values.push_back({item, static_cast<int>(*reading.value)});
        }
    }

    if (const int failed = connect()) return failed;
    if (const int failed = session_.readTable()) return failed;
    QJsonObject out{{QStringLiteral("file"), path}};
    bool equal = true;
    for (const WriteValue& v : values)
        equal = equal && session_.state.tableCells[v.item.index] == v.value;
    int result = kExitDone;
    if (equal) {
        say(text(archive_texts::equal).arg(name));
        out[QStringLiteral("end")] = QStringLiteral("nothing to send");
    } else {
        result = writeAndVerify({&session_, cli_texts::writingTable}, values, out);
    }
    if (request_.json) printJson(out);
    return result;
}

int Runner::paramGet()
{
    const auto id = parameterId(request_.operands[0]);
    if (!id) return usage(text(cli_texts::noParameter).arg(request_.operands[0].left(40)));
    if (const int failed = connect()) return failed;
    if (const int failed = session_.readParameters()) return failed;
    const ParameterInfo* info = parameterInfo(*id);
    const int value = session_.state.parameterValues[*id];
    if (request_.json) {
        printJson({{QStringLiteral("id"), *id},
                   {QStringLiteral("name"), QString::fromLatin1(info->name)},
                   {QStringLiteral("unit"), QString::fromUtf8(info->unit)},
                   {QStringLiteral("value"), value}});
    } else {
        QString line = QStringLiteral("%1 %2 %3").arg(*id).arg(QString::fromLatin1(info->name)).arg(value);
        if (info->unit[0] != '\0') line += QLatin1Char(' ') + QString::fromUtf8(info->unit);
        printData(line);
    }
    return kExitDone;
}

int Runner::paramSet()
{
    const auto id = parameterId(request_.operands[0]);
    if (!id) return usage(text(cli_texts::noParameter).arg(request_.operands[0].left(40)));
    const WriteItem item{false, *id};
    FieldRule rule = parameterRule(*id);
    const QString pageName = rule.name.in(language());
    rule.shownName = writeItemLabel(item, language()) +
                     (pageName.isEmpty() ? QString() : QStringLiteral(" - ") + pageName);
    const BoxReading reading = readWholeNumber(request_.operands[1], rule, language());
    if (!reading.value) return usage(reading.refusal);

    if (const int failed = connect()) return failed;
    if (const int failed = session_.readParameters()) return failed;
    const int value = static_cast<int>(*reading.value);
    QJsonObject out{{QStringLiteral("id"), *id},
                    {QStringLiteral("name"), QString::fromLatin1(parameterInfo(*id)->name)},
                    {QStringLiteral("value"), value}};
    return writeOne({&session_, cli_texts::writingParameter}, item, value, out);
}

namespace {
// One status reply as the status window shows it: the datalog's columns, NC where the window says so.
QJsonObject statusJson(qint64 timeMs, const std::vector<int>& row, const SharedState& state)
{
    QJsonObject o{{QStringLiteral("timeMs"), timeMs}};
    const auto channels = datalogChannels(DatalogSource::Status);
    for (size_t i = 0; i < channels.size() && i < row.size(); ++i)
        if (!channels[i].text)
            o[QLatin1String(channels[i].key)] = row[i] == kDatalogNoValue ? QJsonValue() : QJsonValue(row[i]);
    const LiveStatus& live = state.liveStatus;
    o[QStringLiteral("ecuStateText")] = ecuStateMessage(live.ecuState, state.languageIndex,
                                                        state.parameterValues[param::changeoverTemperature],
                                                        state.parameterValues[param::changeoverRpm])
                                            .trimmed();
    o[QStringLiteral("onPetrol")] = live.onPetrol == 1;
    return o;
}

QString statusLine(const QJsonObject& o)
{
    QStringList fields{QStringLiteral("timeMs=%1").arg(o[QStringLiteral("timeMs")].toInteger())};
    for (const DatalogChannel& channel : datalogChannels(DatalogSource::Status)) {
        if (channel.text) continue;
        const QJsonValue v = o[QLatin1String(channel.key)];
        fields << QStringLiteral("%1=%2").arg(QLatin1String(channel.key),
                                              v.isNull() ? QStringLiteral("NC") : QString::number(v.toInt()));
    }
    fields << QStringLiteral("onPetrol=%1").arg(o[QStringLiteral("onPetrol")].toBool() ? 1 : 0);
    fields << QStringLiteral("ecuStateText=\"%1\"").arg(o[QStringLiteral("ecuStateText")].toString());
    return fields.join(QLatin1Char(' '));
}
} // namespace

int Runner::status()
{
    if (const int failed = connect()) return failed;
    // the parameters word the ECU's state (change-over temperature and speed)
    if (const int failed = session_.readParameters()) return failed;
    SharedState& state = session_.state;
    StatusRows rows;
    QElapsedTimer clock;
    const auto show = [&] {
        const QJsonObject o = statusJson(clock.elapsed(), rows.next(state.liveStatus), state);
        request_.json ? printJson(o) : printData(statusLine(o));
    };
    state.statusReceived = 0;
    clock.start();
    const EcuSession::Wait first =
        session_.request(frames::readStatus(), [&state] { return state.statusReceived == 1; });
    if (first != EcuSession::Wait::Done) return session_.failed(first);
    show();
    if (!request_.follow) return kExitDone;

    // one line per reply until Ctrl+C; two supervision periods without one and the link is lost
    QTimer poll;
    poll.setInterval(request_.intervalMs);
    QObject::connect(&poll, &QTimer::timeout, [this] { session_.link.send(frames::readStatus()); });
    const QMetaObject::Connection replies =
        QObject::connect(&session_.dispatcher, &ReplyDispatcher::frameHandled, [&](int code) {
            if (code == static_cast<int>(RequestKind::ReadStatus)) show();
        });
    poll.start();
    EcuSession::Wait wait = EcuSession::Wait::Done;
    for (;;) {
        state.statusReceived = 0;
        wait = session_.waitFor([&state] { return state.statusReceived == 1; },
                                std::max(kStatusSilenceMs, 2 * request_.intervalMs));
        if (wait != EcuSession::Wait::Done) break;
    }
    QObject::disconnect(replies);
    return wait == EcuSession::Wait::Interrupted ? kExitDone : session_.failed(wait);
}

int Runner::log()
{
    const QString path = request_.operands[0];
    if (QFileInfo::exists(path)) {
        say(text(cli_texts::datalogExists).arg(path));
        return kExitFileRefused;
    }
    if (const int failed = connect()) return failed;
    if (const int failed = session_.readParameters()) return failed;
    DatalogWriter writer;
    const DatalogWriter::Result opened = writer.open(path, DatalogSource::Status, language(),
                                                     datalogInfo(session_.state, session_.link.portName()));
    if (opened == DatalogWriter::Result::Exists) {
        say(text(cli_texts::datalogExists).arg(path));
        return kExitFileRefused;
    }
    if (opened != DatalogWriter::Result::Ok) {
        say(text(datalog_texts::cannotCreate).arg(path, writer.errorText(language())));
        return kExitFileRefused;
    }
    SharedState& state = session_.state;
    StatusRows rows;
    QElapsedTimer clock;
    clock.start();
    qint64 lastFlush = 0;
    bool diskFailed = false;
    const QMetaObject::Connection replies =
        QObject::connect(&session_.dispatcher, &ReplyDispatcher::frameHandled, [&](int code) {
            if (code != static_cast<int>(RequestKind::ReadStatus) || diskFailed) return;
            const qint64 now = clock.elapsed();
            const std::vector<int>& row = rows.next(state.liveStatus);
            const QString texts[] = {datalogStateName(state.liveStatus.ecuState, state), QString()};
            writer.append(now, row, texts);
            // the disk at least once a second
            if (now - lastFlush >= 1000) {
                lastFlush = now;
                diskFailed = !writer.flush();
            }
        });
    // the status window's poll
    QTimer poll;
    poll.setInterval(300);
    QObject::connect(&poll, &QTimer::timeout, [this] { session_.link.send(frames::readStatus()); });
    session_.link.send(frames::readStatus());
    poll.start();
    EcuSession::Wait wait = EcuSession::Wait::Done;
    for (;;) {
        qint64 limit = kStatusSilenceMs;
        bool forLimited = false;
        if (request_.forMs >= 0) {
            const qint64 left = request_.forMs - clock.elapsed();
            if (left <= 0) break;
            forLimited = left < limit;
            limit = std::min(limit, left);
        }
        state.statusReceived = 0;
        wait = session_.waitFor([&] { return state.statusReceived == 1 || diskFailed; },
                                static_cast<int>(limit));
        if (diskFailed) break;
        // a timer may fire a little early: the time left decides, not the timer
        if (wait == EcuSession::Wait::TimedOut && forLimited) {
            wait = EcuSession::Wait::Done;
            continue;
        }
        if (wait != EcuSession::Wait::Done) break;
    }
    poll.stop();
    QObject::disconnect(replies);
    const qint64 duration = clock.elapsed();
    if (diskFailed || !writer.close()) {
        say(text(cli_texts::datalogFailed).arg(path, writer.errorText(language())).arg(writer.savedRows()));
        return kExitFileRefused;
    }
    say(text(cli_texts::datalogDone).arg(writer.rows()).arg(path));
    if (request_.json)
        printJson({{QStringLiteral("file"), path},
                   {QStringLiteral("rows"), writer.rows()},
                   {QStringLiteral("durationMs"), duration}});
    if (wait == EcuSession::Wait::Interrupted) return kExitDone;
    return wait == EcuSession::Wait::Done ? kExitDone : session_.failed(wait);
}

int Runner::eol()
{
    if (const int failed = connect()) return failed;
    SharedState& state = session_.state;
    // as the main menu leaves them before the test
    state.eolResults.eolCylinderResults.fill(15);
    state.eolResults.eolChecks.fill(15);
    state.eolCylinderMarks.fill(1);
    EolSequence sequence(state, session_.link);
    session_.writes.claim({&session_, LocalText{"ORVANE - EndOfLine"}});
    sequence.start(request_.cylinders);

    QElapsedTimer clock;
    clock.start();
    QString shown;
    bool unanswered = false;
    QTimer ticks;
    ticks.setInterval(EolSequence::kTickMs);
    QObject::connect(&ticks, &QTimer::timeout, [&] {
        const bool going = sequence.tick();
        if (sequence.instruction() != shown) {
            shown = sequence.instruction();
            say(shown);
        }
        if (!going) ticks.stop();
        // the start command has the handshake's patience
        if (!sequence.acknowledged() && clock.elapsed() >= EcuSession::kTries * EcuSession::kRetryMs) {
            unanswered = true;
            ticks.stop();
        }
        session_.wake();
    });
    ticks.start();
    const EcuSession::Wait wait =
        session_.waitFor([&] { return sequence.over() || unanswered; }, request_.timeoutS * 1000);
    ticks.stop();
    session_.writes.release(&session_);
    if (unanswered) return session_.failed(EcuSession::Wait::TimedOut);
    if (wait == EcuSession::Wait::Interrupted) {
        say(text(cli_texts::eolInterrupted));
        return kExitInterrupted;
    }
    if (wait == EcuSession::Wait::PortLost) return session_.failed(wait);
    if (wait == EcuSession::Wait::TimedOut)
        say(text(cli_texts::eolTimeout).arg(request_.timeoutS).arg(sequence.phase()));

    const EolVerdict verdict = eolVerdict(sequence);
    const bool passed = verdict.passed();
    const QStringList& failing = verdict.failing;
    QJsonArray results;
    for (const int indicator : verdict.checks)
        results.append(QJsonObject{{QStringLiteral("check"), eolCheckName(indicator)},
                                   {QStringLiteral("passed"), !sequence.red(indicator)}});
    const QString date = QDateTime::currentDateTime().toString(Qt::ISODate);

    int result = passed ? kExitDone : kExitCheckFailed;
    if (!request_.reportPath.isEmpty()) {
        const QString report =
            eolReport(sequence,
                      {date, QStringLiteral("orvane-cli %1").arg(QLatin1String(kOrvaneVersion)),
                       session_.ecuVersionText(), session_.portName()},
                      request_.reportPath.endsWith(QLatin1String(".csv"), Qt::CaseInsensitive));
        // whole or not at all: a test station must never read half a report
        QSaveFile file(request_.reportPath);
        if (!file.open(QIODevice::WriteOnly) || file.write(report.toUtf8()) < 0 || !file.commit()) {
            say(text(cli_texts::reportFailed).arg(request_.reportPath, file.errorString()));
            result = kExitFileRefused;
        }
    }
    if (request_.json) {
        printJson({{QStringLiteral("verdict"), passed ? QStringLiteral("PASSED") : QStringLiteral("FAILED")},
                   {QStringLiteral("passed"), passed},
                   {QStringLiteral("checks"), static_cast<int>(verdict.checks.size())},
                   {QStringLiteral("failed"), static_cast<int>(failing.size())},
                   {QStringLiteral("failing"), QJsonArray::fromStringList(failing)},
                   {QStringLiteral("results"), results},
                   {QStringLiteral("cylinders"), request_.cylinders},
                   {QStringLiteral("ecuVersion"), session_.ecuVersionText()},
                   {QStringLiteral("date"), date},
                   {QStringLiteral("report"),
                    request_.reportPath.isEmpty() ? QJsonValue() : QJsonValue(request_.reportPath)}});
    } else {
        printData(passed ? verdict.line()
                         : verdict.line() + QStringLiteral(": ") + failing.join(QStringLiteral(", ")));
    }
    return result;
}

} // namespace

int runCli(const QStringList& arguments)
{
    const CliRequest request = parseCliArguments(arguments, languageFromEnvironment());
    switch (request.action) {
    case CliRequest::Action::Refuse:
        std::fprintf(stderr, "%s\n", request.refusal.toLocal8Bit().constData());
        return kExitUsage;
    case CliRequest::Action::Help: {
        const HelpCommand* command = helpCommand(request.helpCommand);
        printData((command ? commandHelp(*command) : overviewHelp()).trimmed());
        return kExitDone;
    }
    case CliRequest::Action::Version:
        printData(QStringLiteral("orvane-cli %1").arg(QLatin1String(kOrvaneVersion)));
        return kExitDone;
    case CliRequest::Action::Man: {
        QSaveFile file(request.manPath);
        if (!file.open(QIODevice::WriteOnly) || file.write(manPage().toUtf8()) < 0 || !file.commit()) {
            std::fprintf(stderr, "orvane-cli: %s: %s\n", qPrintable(request.manPath),
                         qPrintable(file.errorString()));
            return kExitFileRefused;
        }
        return kExitDone;
    }
    case CliRequest::Action::Run:
        break;
    }
    Runner runner(request);
    return runner.run();
}
