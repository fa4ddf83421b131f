#include "cli/cli_arguments.h"

#include "cli/cli_help.h"
#include "link/number_text.h"
#include "link/serial_link.h"
#include "link/serial_ports.h"

#include <QRegularExpression>

#include <cstdlib>
#include <optional>

namespace {

constexpr LocalText kUnknownOption{"opzione sconosciuta '%1'", "unknown option '%1'",
                                   "bilinmeyen secenek '%1'"};
constexpr LocalText kNeedsValue{"%1 richiede un valore", "%1 needs a value", "%1 bir deger gerektirir"};
constexpr LocalText kTwice{"%1 indicata piu' di una volta", "%1 given more than once",
                           "%1 birden fazla verildi"};
constexpr LocalText kNotHere{"%1 non vale per il comando %2", "%1 does not go with the command %2",
                             "%1, %2 komutuyla kullanilamaz"};
constexpr LocalText kNoCommand{"manca il comando", "no command given", "komut verilmedi"};
constexpr LocalText kUnknownCommand{"comando sconosciuto '%1'", "unknown command '%1'",
                                    "bilinmeyen komut '%1'"};
constexpr LocalText kShape{"uso: orvane-cli %1", "usage: orvane-cli %1", "kullanim: orvane-cli %1"};
constexpr LocalText kBothPorts{"--simulate sceglie la propria porta: togliere --port",
                               "--simulate picks its own port; leave out --port",
                               "--simulate kendi portunu secer; --port kullanmayin"};
constexpr LocalText kNoPort{"nessuna porta: indicare --port DISPOSITIVO oppure --simulate",
                            "no port: give --port DEVICE or --simulate",
                            "port yok: --port CIHAZ veya --simulate verin"};
constexpr LocalText kEmptyPort{"--port richiede il nome di un dispositivo", "--port needs a device name",
                               "--port bir cihaz adi gerektirir"};
constexpr LocalText kLongPort{"nome della porta troppo lungo", "port name too long", "port adi cok uzun"};
constexpr LocalText kBadSettings{"--settings: '%1' non e' un'impostazione di linea (es. 9600,n,8,1)",
                                 "--settings: '%1' is not a line setting (e.g. 9600,n,8,1)",
                                 "--settings: '%1' bir hat ayari degil (or. 9600,n,8,1)"};
constexpr LocalText kBadLang{"--lang: it, en oppure tr", "--lang: it, en or tr", "--lang: it, en veya tr"};
constexpr LocalText kRange{"%1: '%2' non e' un numero intero da %3 a %4",
                           "%1: '%2' is not a whole number from %3 to %4",
                           "%1: '%2' %3 ile %4 arasinda bir tam sayi degil"};
constexpr LocalText kCylinders{"--cylinders: 4, 6 oppure 8", "--cylinders: 4, 6 or 8",
                               "--cylinders: 4, 6 veya 8"};
constexpr LocalText kNeedsCylinders{"eol richiede --cylinders 4, 6 oppure 8",
                                    "eol needs --cylinders 4, 6 or 8",
                                    "eol --cylinders 4, 6 veya 8 gerektirir"};
constexpr LocalText kDuration{"--for: '%1' non e' una durata (60s, 5m, 1500ms)",
                              "--for: '%1' is not a length of time (60s, 5m, 1500ms)",
                              "--for: '%1' bir sure degil (60s, 5m, 1500ms)"};
constexpr LocalText kSeeHelp{" (orvane-cli --help)", " (orvane-cli --help)", " (orvane-cli --help)"};

// options taking a value, and the commands each belongs to (empty: every command)
struct KnownOption {
    const char* name;
    bool takesValue;
    QStringList commands;
};

const std::vector<KnownOption>& knownOptions()
{
    static const std::vector<KnownOption> options = {
        {"--port", true, {}},
        {"--simulate", false, {}},
        {"--settings", true, {}},
        {"--lang", true, {}},
        {"--json", false, {}},
        {"--trace", true, {}},
        {"--help", false, {}},
        {"--version", false, {}},
        {"--man", true, {}},
        {"--yes", false, {QStringLiteral("backup"), QStringLiteral("restore"), QStringLiteral("defaults")}},
        {"--follow", false, {QStringLiteral("status")}},
        {"--interval", true, {QStringLiteral("status")}},
        {"--for", true, {QStringLiteral("log")}},
        {"--cylinders", true, {QStringLiteral("eol")}},
        {"--report", true, {QStringLiteral("eol")}},
        {"--timeout", true, {QStringLiteral("eol")}},
    };
    return options;
}

const KnownOption* findOption(const QString& name)
{
    for (const KnownOption& option : knownOptions())
        if (name == QLatin1String(option.name)) return &option;
    return nullptr;
}

std::optional<long long> wholeNumber(const QString& text, long long min, long long max)
{
    const std::optional<long long> value = wholeNumberFromText(text, number_syntax::kWhole);
    if (!value || *value < min || *value > max) return std::nullopt;
    return value;
}

std::optional<qint64> duration(const QString& text)
{
    static const QRegularExpression shape(QStringLiteral("^(\\d{1,9})(ms|s|m|h)?$"));
    const QRegularExpressionMatch match = shape.match(text.trimmed());
    if (!match.hasMatch()) return std::nullopt;
    const qint64 n = match.captured(1).toLongLong();
    const QString unit = match.captured(2);
    const qint64 ms = unit == QLatin1String("ms")  ? n
                      : unit == QLatin1String("m") ? n * 60'000
                      : unit == QLatin1String("h") ? n * 3'600'000
                                                   : n * 1000;
    if (ms <= 0) return std::nullopt;
    return ms;
}

// How many operands a command (and subcommand) takes, and its shape for a refusal.
struct Shape {
    int operands;
    const char* usage;
};

std::optional<Shape> shapeOf(const QString& command, const QString& sub)
{
    if (command == QLatin1String("info")) return Shape{0, "info"};
    if (command == QLatin1String("backup")) return Shape{1, "backup FILE.xls [--yes]"};
    if (command == QLatin1String("diff")) return Shape{1, "diff FILE.xls"};
    if (command == QLatin1String("restore")) return Shape{1, "restore FILE.xls [--yes]"};
    if (command == QLatin1String("defaults")) return Shape{0, "defaults [--yes]"};
    if (command == QLatin1String("status")) return Shape{0, "status [--follow] [--interval MS]"};
    if (command == QLatin1String("log")) return Shape{1, "log FILE.csv [--for TIME]"};
    if (command == QLatin1String("eol"))
        return Shape{0, "eol --cylinders N [--report FILE] [--timeout SECONDS]"};
    if (command == QLatin1String("table")) {
        if (sub == QLatin1String("show")) return Shape{0, "table show"};
        if (sub == QLatin1String("set")) return Shape{3, "table set ROW COL VALUE"};
        if (sub == QLatin1String("load")) return Shape{1, "table load FILE.csv"};
        return Shape{-1, "table show | table set ROW COL VALUE | table load FILE.csv"};
    }
    if (command == QLatin1String("param")) {
        if (sub == QLatin1String("get")) return Shape{1, "param get ID"};
        if (sub == QLatin1String("set")) return Shape{2, "param set ID VALUE"};
        return Shape{-1, "param get ID | param set ID VALUE"};
    }
    return std::nullopt;
}

} // namespace

Language languageFromEnvironment()
{
    // LC_ALL, then LC_MESSAGES, then LANG, as the C library decides the language of messages
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const QString value = QString::fromLocal8Bit(std::getenv(name));
        if (value.isEmpty()) continue;
        if (value.startsWith(QLatin1String("en"))) return Language::English;
        if (value.startsWith(QLatin1String("tr"))) return Language::Turkish;
        return Language::Italian;
    }
    return Language::Italian;
}

QString normalisedSettings(const QString& text)
{
    QStringList parts = text.split(QLatin1Char(','));
    // the common writing puts the data bits before the parity
    if (parts.size() == 4 && !parts[1].trimmed().isEmpty() && parts[1].trimmed().at(0).isDigit() &&
        !parts[2].trimmed().isEmpty() && parts[2].trimmed().at(0).isLetter())
        parts.swapItemsAt(1, 2);
    const QString program = parts.join(QLatin1Char(',')).toLower().remove(QLatin1Char(' '));
    return parseSerialSettings(program) ? program : QString();
}

CliRequest parseCliArguments(const QStringList& arguments, Language systemLanguage)
{
    CliRequest request;
    request.language = systemLanguage;
    // the language first: every refusal below is worded in it
    for (int i = 1; i < arguments.size(); ++i) {
        QString value;
        if (arguments[i] == QLatin1String("--lang") && i + 1 < arguments.size())
            value = arguments[i + 1];
        else if (arguments[i].startsWith(QLatin1String("--lang=")))
            value = arguments[i].mid(7);
        if (value == QLatin1String("it")) request.language = Language::Italian;
        if (value == QLatin1String("en")) request.language = Language::English;
        if (value == QLatin1String("tr")) request.language = Language::Turkish;
    }
    const Language language = request.language;
    const auto refuse = [&request, language](const QString& reason) {
        request.action = CliRequest::Action::Refuse;
        request.refusal = QStringLiteral("orvane-cli: ") + reason + kSeeHelp.in(language);
        return request;
    };

    QStringList positional;
    QStringList seen;
    QString port, settings, lang, interval, forText, cylinders, timeout;
    bool portGiven = false, settingsGiven = false, intervalGiven = false, forGiven = false,
         cylindersGiven = false, timeoutGiven = false;
    bool help = false, version = false;
    for (int i = 1; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        if (!argument.startsWith(QLatin1String("--")) || argument == QLatin1String("--")) {
            positional << argument;
            continue;
        }
        QString name = argument;
        QString value;
        bool inlineValue = false;
        const qsizetype equals = argument.indexOf(QLatin1Char('='));
        if (equals > 0) {
            name = argument.left(equals);
            value = argument.mid(equals + 1);
            inlineValue = true;
        }
        const KnownOption* known = findOption(name);
        if (!known) return refuse(kUnknownOption.in(language).arg(name));
        if (seen.contains(name)) return refuse(kTwice.in(language).arg(name));
        seen << name;
        if (known->takesValue && !inlineValue) {
            if (i + 1 >= arguments.size()) return refuse(kNeedsValue.in(language).arg(name));
            value = arguments[++i];
        } else if (!known->takesValue && inlineValue) {
            return refuse(kUnknownOption.in(language).arg(argument));
        }
        if (name == QLatin1String("--port")) {
            port = value;
            portGiven = true;
        } else if (name == QLatin1String("--simulate")) {
            request.simulate = true;
        } else if (name == QLatin1String("--settings")) {
            settings = value;
            settingsGiven = true;
        } else if (name == QLatin1String("--lang")) {
            lang = value;
        } else if (name == QLatin1String("--json")) {
            request.json = true;
        } else if (name == QLatin1String("--trace")) {
            if (value.isEmpty()) return refuse(kNeedsValue.in(language).arg(name));
            request.tracePath = value;
        } else if (name == QLatin1String("--help")) {
            help = true;
        } else if (name == QLatin1String("--version")) {
            version = true;
        } else if (name == QLatin1String("--man")) {
            if (value.isEmpty()) return refuse(kNeedsValue.in(language).arg(name));
            request.manPath = value;
        } else if (name == QLatin1String("--yes")) {
            request.yes = true;
        } else if (name == QLatin1String("--follow")) {
            request.follow = true;
        } else if (name == QLatin1String("--interval")) {
            interval = value;
            intervalGiven = true;
        } else if (name == QLatin1String("--for")) {
            forText = value;
            forGiven = true;
        } else if (name == QLatin1String("--cylinders")) {
            cylinders = value;
            cylindersGiven = true;
        } else if (name == QLatin1String("--report")) {
            if (value.isEmpty()) return refuse(kNeedsValue.in(language).arg(name));
            request.reportPath = value;
        } else if (name == QLatin1String("--timeout")) {
            timeout = value;
            timeoutGiven = true;
        }
    }

    if (!lang.isEmpty() && lang != QLatin1String("it") && lang != QLatin1String("en") &&
        lang != QLatin1String("tr"))
        return refuse(kBadLang.in(language));
    if (seen.contains(QStringLiteral("--lang")) && lang.isEmpty()) return refuse(kBadLang.in(language));

    if (!positional.isEmpty()) request.command = positional.takeFirst();
    if (!request.manPath.isEmpty()) {
        request.action = CliRequest::Action::Man;
        return request;
    }
    if (help) {
        if (!request.command.isEmpty() && !helpCommand(request.command))
            return refuse(kUnknownCommand.in(language).arg(request.command));
        request.action = CliRequest::Action::Help;
        request.helpCommand = request.command;
        return request;
    }
    if (version) {
        request.action = CliRequest::Action::Version;
        return request;
    }

    if (request.command.isEmpty()) return refuse(kNoCommand.in(language));
    if (!helpCommand(request.command)) return refuse(kUnknownCommand.in(language).arg(request.command));
    for (const QString& name : seen) {
        const KnownOption* known = findOption(name);
        if (!known->commands.isEmpty() && !known->commands.contains(request.command))
            return refuse(kNotHere.in(language).arg(name, request.command));
    }
    if (request.command == QLatin1String("table") || request.command == QLatin1String("param")) {
        if (!positional.isEmpty()) request.subcommand = positional.takeFirst();
    }
    const std::optional<Shape> shape = shapeOf(request.command, request.subcommand);
    if (shape->operands != positional.size())
        return refuse(kShape.in(language).arg(QString::fromLatin1(shape->usage)));
    request.operands = positional;

    if (portGiven && request.simulate) return refuse(kBothPorts.in(language));
    if (!portGiven && !request.simulate) return refuse(kNoPort.in(language));
    if (portGiven && port.trimmed().isEmpty()) return refuse(kEmptyPort.in(language));
    if (port.size() > kMaxPortNameLength) return refuse(kLongPort.in(language));
    request.port = port;
    if (settingsGiven) {
        request.settings = normalisedSettings(settings);
        if (request.settings.isEmpty()) return refuse(kBadSettings.in(language).arg(settings.left(40)));
    }
    if (intervalGiven) {
        const auto ms = wholeNumber(interval, 100, 3'600'000);
        if (!ms)
            return refuse(kRange.in(language).arg(QStringLiteral("--interval"), interval.left(40),
                                                  QStringLiteral("100"), QStringLiteral("3600000")));
        request.intervalMs = static_cast<int>(*ms);
    }
    if (forGiven) {
        const auto ms = duration(forText);
        if (!ms) return refuse(kDuration.in(language).arg(forText.left(40)));
        request.forMs = *ms;
    }
    if (timeoutGiven) {
        const auto s = wholeNumber(timeout, 1, 86'400);
        if (!s)
            return refuse(kRange.in(language).arg(QStringLiteral("--timeout"), timeout.left(40),
                                                  QStringLiteral("1"), QStringLiteral("86400")));
        request.timeoutS = static_cast<int>(*s);
    }
    if (cylindersGiven) {
        const auto n = wholeNumber(cylinders, 4, 8);
        if (!n || *n % 2 != 0) return refuse(kCylinders.in(language));
        request.cylinders = static_cast<int>(*n);
    }
    if (request.command == QLatin1String("eol") && request.cylinders == 0)
        return refuse(kNeedsCylinders.in(language));
    return request;
}
