#include "ui/common/user_settings.h"

#include "link/serial_link.h"
#include "link/serial_ports.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

#include <filesystem>

namespace {

constexpr LocalText kDamaged{
    "Le impostazioni salvate (%1) non si possono leggere: il programma parte con quelle predefinite e le "
    "riscrive alla prossima scelta.",
    "The saved settings (%1) cannot be read: the program starts with the defaults and writes them anew at "
    "the next choice.",
    "Kayitli ayarlar (%1) okunamiyor: program varsayilan ayarlarla basliyor ve bir sonraki secimde "
    "yeniden yaziyor."};

const QString kLanguage = QStringLiteral("language");
const QString kPortNumber = QStringLiteral("port/number");
const QString kPortName = QStringLiteral("port/device");
const QString kSerialSettings = QStringLiteral("port/settings");

} // namespace

std::optional<QString> loadUserSettings(const QString& path, SharedState& state)
{
    if (path.isEmpty() || !QFileInfo::exists(path)) return std::nullopt;
    const auto damaged = [&] { return kDamaged.in(languageOf(state.languageIndex)).arg(path); };
    if (!QFileInfo(path).isFile()) return damaged();
    const QSettings file(path, QSettings::IniFormat);
    if (file.status() != QSettings::NoError) return damaged();
    bool languageOk = true, numberOk = true;
    const int language = file.value(kLanguage, state.languageIndex).toInt(&languageOk);
    const int number = file.value(kPortNumber, state.serialPortNumber).toInt(&numberOk);
    const QString device = file.value(kPortName, QString()).toString();
    const QString settings = file.value(kSerialSettings, state.serialSettings).toString();
    // every value checked before any is taken: half a file is no file
    if (!languageOk || language < 1 || language > 3 || !numberOk || number < 1 || number > 4 ||
        device.size() > kMaxPortNameLength || !parseSerialSettings(settings))
        return damaged();
    state.languageIndex = language;
    state.serialPortNumber = number;
    state.serialPortName = device;
    state.serialSettings = settings;
    return std::nullopt;
}

void saveUserSettings(const QString& path, const SharedState& state, bool keepPort)
{
    if (path.isEmpty()) return;
    QString device = state.serialPortName;
    int number = state.serialPortNumber;
    if (!keepPort) {
        const QSettings before(path, QSettings::IniFormat);
        device = before.value(kPortName, QString()).toString();
        number = before.value(kPortNumber, 1).toInt();
    }
    QDir().mkpath(QFileInfo(path).absolutePath());
    // written beside the file and renamed over it: a crash mid-write leaves the old file
    const QString temporary = path + QStringLiteral(".new");
    {
        QSettings next(temporary, QSettings::IniFormat);
        next.clear();
        next.setValue(kLanguage, state.languageIndex);
        next.setValue(kPortNumber, number);
        next.setValue(kPortName, device);
        next.setValue(kSerialSettings, state.serialSettings);
        next.sync();
        if (next.status() != QSettings::NoError) {
            QFile::remove(temporary);
            return;
        }
    }
    std::error_code failed; // left as it was: the choice holds for this run
    std::filesystem::rename(QFile::encodeName(temporary).toStdString(), QFile::encodeName(path).toStdString(),
                            failed);
}

QString defaultUserSettingsPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation) +
           QStringLiteral("/orvane.conf");
}
