#pragma once

#include "archive/biff_workbook.h"
#include "link/language.h"
#include "link/write_session.h"

#include <QString>

#include <span>
#include <vector>

// A vehicle's set between the ECU and a workbook, without a window: the order the transfer writes
// in, what a file would change, and the words the archive window and the command line both use.

// The parameters in the transfer's fixed order, then the table's cells 1..64.
std::span<const int> transferParameterOrder();
std::span<const int> transferCellOrder();

// A value a file holds other than the ECU.
struct VehicleChange {
    WriteItem item;
    int ecu = 0;
    int file = 0;
};

struct VehicleDifference {
    std::vector<WriteValue> values;     // every value of the file, in the transfer's order
    std::vector<VehicleChange> changes; // those the ECU holds otherwise, in the same order
    int parameterChanges = 0;           // how many of them are parameters (they come first)
    bool equal() const { return changes.empty(); }
};

VehicleDifference vehicleDifference(const VehicleSet& ecu, const VehicleSet& file);

// One line of the difference view: "parameter 4 (lambda1LeanThreshold): ECU 350 -> file 360".
QString vehicleChangeLine(const VehicleChange& change, Language language);

namespace archive_texts {
inline constexpr LocalText transfer{"Trasferimento archivio", "Archive transfer", "Arsiv aktarimi"};
inline constexpr LocalText defaults{"Valori di default", "Default values", "Sabit Degerler"};
inline constexpr LocalText saved{"Parametri salvati in %1", "Parameters stored in %1",
                                 "Degerler kaydedildi: %1"};
// %1 the file's name
inline constexpr LocalText equal{
    "Il file %1 contiene gli stessi valori della centralina: non c'e' nulla da inviare.",
    "The file %1 holds the same values as the ECU: there is nothing to send.",
    "%1 dosyasi beyin ile ayni degerleri iceriyor: gonderilecek bir sey yok."};
// %1 the file's name, %2 values, %3 parameters, %4 cells
inline constexpr LocalText confirm{
    "Il file %1 cambia %2 valori della centralina (%3 parametri, %4 celle della tabella). Inviarli?",
    "The file %1 changes %2 values of the ECU (%3 parameters, %4 table cells). Send them?",
    "%1 dosyasi beyinde %2 degeri degistiriyor (%3 parametre, %4 tablo hucresi). Gonderilsin mi?"};
inline constexpr LocalText done{"Trasferimento completato: la centralina ha confermato tutti i valori.",
                                "Transfer complete: the ECU has confirmed every value.",
                                "Aktarim tamamlandi: beyin tum degerleri onayladi."};
inline constexpr LocalText defaultsQuestion{
    "Tutti i parametri della centralina saranno sostituiti dai valori di fabbrica: la taratura di questa "
    "vettura andra' persa. Salvarla prima con \"MEMORIZZA SU PC\". Continuare?",
    "Every parameter of the ECU will be replaced by its factory value: this vehicle's calibration will be "
    "lost. Store it first with \"STORE IN PC\". Go on?",
    "Beynin tum degerleri fabrika degerleriyle degistirilecek: bu aracin ayari kaybolacak. Once \"STORE IN "
    "PC\" ile kaydedin. Devam edilsin mi?"};
inline constexpr LocalText defaultsWaiting{"Valori di default: attesa conferma della centralina (invio %1)",
                                           "Default values: waiting for the ECU to confirm (send %1)",
                                           "Sabit degerler: beyin onayi bekleniyor (gonderim %1)"};
inline constexpr LocalText defaultsReading{"Valori di default: lettura dei parametri (richiesta %1)",
                                           "Default values: reading the parameters (request %1)",
                                           "Sabit degerler: degerler okunuyor (istek %1)"};
inline constexpr LocalText defaultsDone{"Valori di default ripristinati e riletti.",
                                        "Default values restored and read back.",
                                        "Sabit degerler yuklendi ve okundu."};
inline constexpr LocalText defaultsAbandoned{
    "Ripristino dei valori di default interrotto prima della conferma della centralina: i valori della "
    "centralina saranno riletti.",
    "Restoring the default values was stopped before the ECU confirmed it: the ECU's values will be read "
    "again.",
    "Sabit degerlerin yuklenmesi beyin onaylamadan durduruldu: beyin degerleri yeniden okunacak."};
inline constexpr LocalText replaceQuestion{"Il file %1 esiste gia'. Sostituirlo?",
                                           "The file %1 already exists. Replace it?",
                                           "%1 dosyasi zaten var. Degistirilsin mi?"};
} // namespace archive_texts
