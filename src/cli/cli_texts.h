#pragma once

#include "link/language.h"

// What orvane-cli says on stderr that the windows have no words for.
namespace cli_texts {
inline constexpr LocalText traceRefused{"Impossibile scrivere il file di traccia \"%1\": %2",
                                        "Cannot write the trace file \"%1\": %2",
                                        "Iz dosyasi \"%1\" yazilamiyor: %2"};
inline constexpr LocalText simulatorFailed{"Impossibile avviare la centralina virtuale: %1",
                                           "Cannot start the virtual ECU: %1",
                                           "Sanal beyin baslatilamiyor: %1"};
inline constexpr LocalText interrupted{
    "Interrotto (Ctrl+C): nessun file scritto, nulla inviato alla centralina.",
    "Interrupted (Ctrl+C): no file written, nothing sent to the ECU.",
    "Kesildi (Ctrl+C): dosya yazilmadi, beyne bir sey gonderilmedi."};
inline constexpr LocalText noTerminal{
    "Nessun terminale su cui chiedere conferma: aggiungere --yes per procedere.",
    "No terminal to ask on: add --yes to go ahead.",
    "Onay sorulacak terminal yok: devam etmek icin --yes ekleyin."};
// appended to a question; the first letter of the first word is the yes
inline constexpr LocalText yesNo{" [s/N] ", " [y/N] ", " [e/H] "};
inline constexpr LocalText declined{"Nulla e' stato inviato.", "Nothing was sent.",
                                    "Hicbir sey gonderilmedi."};
inline constexpr LocalText notReplaced{"Il file %1 non e' stato sostituito.", "The file %1 was not replaced.",
                                       "%1 dosyasi degistirilmedi."};
inline constexpr LocalText fileExistsNoTerminal{"Il file %1 esiste gia': aggiungere --yes per sostituirlo.",
                                                "The file %1 already exists: add --yes to replace it.",
                                                "%1 dosyasi zaten var: degistirmek icin --yes ekleyin."};
inline constexpr LocalText verified{"Riletti dalla centralina: tutti i valori come richiesto.",
                                    "Read back from the ECU: every value as asked.",
                                    "Beyinden geri okundu: tum degerler istendigi gibi."};
inline constexpr LocalText mismatched{"Riletti dalla centralina: %1 valori diversi da quanto richiesto:",
                                      "Read back from the ECU: %1 values differ from what was asked:",
                                      "Beyinden geri okundu: %1 deger istenenden farkli:"};
inline constexpr LocalText mismatch{"%1: centralina %2, richiesto %3", "%1: ECU %2, asked %3",
                                    "%1: beyin %2, istenen %3"};
inline constexpr LocalText sameValue{"%1 vale gia' %2: nulla da inviare.",
                                     "%1 already holds %2: nothing to send.",
                                     "%1 zaten %2: gonderilecek bir sey yok."};
inline constexpr LocalText noParameter{"nessun parametro '%1' (un numero da 1 a 61 o un nome come "
                                       "lambda1LeanThreshold)",
                                       "no parameter '%1' (a number from 1 to 61 or a name such as "
                                       "lambda1LeanThreshold)",
                                       "'%1' diye bir parametre yok (1 ile 61 arasi bir sayi veya "
                                       "lambda1LeanThreshold gibi bir ad)"};
inline constexpr LocalText rowColumn{"%1: '%2' non e' un numero da 1 a 8",
                                     "%1: '%2' is not a number from 1 to 8",
                                     "%1: '%2' 1 ile 8 arasinda bir sayi degil"};
inline constexpr LocalText csvLines{"%1: servono 8 righe di 8 valori, il file ne ha %2",
                                    "%1: 8 lines of 8 values are needed, the file has %2",
                                    "%1: 8 degerli 8 satir gerekli, dosyada %2 var"};
inline constexpr LocalText csvValues{"%1, riga %2: servono 8 valori, la riga ne ha %3",
                                     "%1, line %2: 8 values are needed, the line has %3",
                                     "%1, satir %2: 8 deger gerekli, satirda %3 var"};
inline constexpr LocalText csvValue{"%1, riga %2: %3", "%1, line %2: %3", "%1, satir %2: %3"};
inline constexpr LocalText datalogExists{
    "Il file %1 esiste gia': una registrazione non sostituisce mai un file.",
    "The file %1 already exists: a recording never replaces a file.",
    "%1 dosyasi zaten var: bir kayit asla bir dosyanin yerine gecmez."};
inline constexpr LocalText datalogFailed{
    "Registrazione interrotta: impossibile scrivere su %1 (%2). Righe salvate "
    "nel file: %3.",
    "Recording stopped: cannot write to %1 (%2). Rows saved in the file: %3.",
    "Kayit durduruldu: %1 dosyasina yazilamiyor (%2). Dosyaya kaydedilen "
    "satirlar: %3."};
inline constexpr LocalText datalogDone{"%1 righe registrate in %2.", "%1 rows recorded in %2.",
                                       "%2 dosyasina %1 satir kaydedildi."};
inline constexpr LocalText eolTimeout{
    "Il test non ha raggiunto RESET OK entro %1 s (ultima fase della centralina: %2).",
    "The test did not reach RESET OK within %1 s (the ECU's last phase: %2).",
    "Test %1 s icinde RESET OK'a ulasmadi (beynin son asamasi: %2)."};
inline constexpr LocalText eolInterrupted{"Test interrotto (Ctrl+C) prima di RESET OK: nessun esito.",
                                          "Test stopped (Ctrl+C) before RESET OK: no verdict.",
                                          "Test RESET OK'dan once durduruldu (Ctrl+C): sonuc yok."};
inline constexpr LocalText reportFailed{"Impossibile scrivere il rapporto %1: %2",
                                        "Cannot write the report %1: %2", "Rapor %1 yazilamiyor: %2"};
inline constexpr LocalText writingTable{"Tabella KGB", "KGB table", "KGB tablosu"};
inline constexpr LocalText writingParameter{"Scrittura parametro", "Parameter write", "Parametre yazma"};
} // namespace cli_texts
