#include "ui/status/status_rules.h"

#include <cmath>

BoxView MissingSignalCounter::apply(bool missing, const QString& valueText)
{
    if (!missing) {
        count_ = 0;
        return {valueText, true};
    }
    if (count_ > limit_) return {QStringLiteral("NC"), false};
    ++count_;
    return {valueText, true};
}

BoxView StaleValueWatch::apply(int value, bool enabledBefore)
{
    BoxView view{QString::number(value), enabledBefore};
    if (value != previous_) {
        count_ = 0;
        view.enabled = true;
    } else if (count_ < 10) {
        ++count_;
    } else {
        view.enabled = false;
        if (value == 0) view.text = QStringLiteral("NC");
    }
    previous_ = value;
    return view;
}

void LambdaAverage::add(int mv)
{
    ++ticks_;
    // in whole millivolts: tenths summed in binary fractions lose one mV on most values
    sum_ += mv;
    if (ticks_ >= 100) {
        ticks_ = 0;
        shown_ = QString::number(sum_ / 100);
        sum_ = 0;
    }
}

void LevelAverage::add(int mv)
{
    ++ticks_;
    sum_ += mv / 10; // non-negative: division floors
    if (ticks_ >= 50) {
        ticks_ = 0;
        shown_ = sum_ / 5;
        hasValue_ = true;
        sum_ = 0;
    }
}

int gasInjectionTime(int petrolTinj, int kgbCor)
{
    // (petrol / 10) x (kgb / 10), floored; in integers so no binary fraction rounds it down
    return static_cast<int>(static_cast<long long>(petrolTinj) * kgbCor / 100);
}

std::array<bool, kOxygenSegments> oxygenMarkers(int mv, int sensorType, int fullScale, int step)
{
    std::array<bool, kOxygenSegments> marks{};
    const bool inverted = sensorType == 1 || sensorType == 3;
    if (mv >= fullScale) {
        marks[inverted ? 19 : 0] = true;
        return marks;
    }
    for (int d = 0; d < kOxygenSegments; ++d) {
        marks[static_cast<size_t>(d)] =
            inverted ? (d * step <= mv && mv <= (d + 1) * step)
                     : (fullScale - (d + 1) * step <= mv && mv <= fullScale - d * step);
    }
    return marks;
}

QColor oxygenBaseColour(int segment)
{
    static const QColor base[10] = {{150, 0, 0},   {150, 10, 0},  {160, 30, 0}, {180, 70, 0}, {200, 110, 0},
                                    {220, 150, 0}, {100, 130, 0}, {50, 150, 0}, {0, 170, 0},  {0, 190, 0}};
    // symmetric: 10..19 mirror 9..0
    return base[segment < 10 ? segment : 19 - segment];
}

std::array<bool, kPressureSegments> pressureSegments(int mbar)
{
    std::array<bool, kPressureSegments> lit{};
    for (int i = 0; i < kPressureSegments; ++i)
        lit[static_cast<size_t>(i)] = mbar >= 150 * i;
    return lit;
}

std::array<bool, kLevelSegments> levelSegments(int level, int minMv, int maxMv, double step)
{
    std::array<bool, kLevelSegments> lit{};
    for (int i = 0; i < kLevelSegments; ++i) {
        lit[static_cast<size_t>(i)] =
            minMv >= maxMv ? !(level >= minMv - i * step) : level >= minMv + i * step;
    }
    return lit;
}

QColor levelColour(int segment, bool lit)
{
    if (segment < 4) return lit ? colours::brightRed : colours::darkRed;
    return lit ? colours::brightGreen : colours::darkGreen;
}

void FuelLamps::update(int ecuState, int onPetrol)
{
    if (ecuState >= 1 && ecuState <= 5) {
        ++blink_;
        petrol_ = colours::darkRed;
        if (blink_ >= 3 && blink_ <= 5) gas_ = colours::darkGreen;
        if (blink_ >= 6) {
            gas_ = colours::brightGreen;
            blink_ = 0;
        }
        return;
    }
    blink_ = 0;
    if (onPetrol == 1 || ecuState == 7) {
        petrol_ = colours::brightRed;
        gas_ = colours::darkGreen;
    } else {
        petrol_ = colours::darkRed;
        gas_ = colours::brightGreen;
    }
}

QString ecuStateMessage(int ecuState, int languageIndex, int changeoverTemperature, int changeoverRpm)
{
    struct Row {
        int code;
        const char* text[3];
        int suffix; // 0 none, 1 T, 2 R, 3 R - 200
    };
    static const Row rows[] = {
        {1,
         {"G->B ATTESA TEMPO SOVRAPPOSIZIONE", "G->P WAITING OVERLAP TIME", "G->P WAITING OVERLAP TIME"},
         0},
        {2,
         {"B->G ATTESA TEMPERATURA", "P->G WAITING TEMPERATURE ABOVE THRESHOLD", "P->G WAITING TEMPERATURE"},
         1},
        {3,
         {"B->G ATTESA GIRI MAGGIORI DI SOGLIA", "P->G WAITING RPM ABOVE THRESHOLD",
          "P->G WAITING RPM ABOVE THRESHOLD"},
         2},
        {4,
         {"B->G ATTESA GIRI MINORI DI SOGLIA", "P->G WAITING RPM BELOW THRESHOLD",
          "P->G WAITING RPM BELOW THRESHOLD"},
         3},
        {5,
         {"B->G ATTESA TEMPO SOVRAPPOSIZIONE", "P->G WAITING OVERLAP TIME", "P->G WAITING OVERLAP TIME"},
         0},
        {6, {"PARTENZA FORZATO GAS - EMERGENZA", "EMERGENCY GAS STARTING", "EMERGENCY GAS STARTING"}, 0},
        {7, {"SAFETY - NO GIRI", "SAFETY - NO RPM", "SAFETY - NO RPM"}, 0},
        {8, {"TINJ = 0 : CUTOFF", "CUTOFF BY TINJ = 0", "CUTOFF BY TINJ = 0"}, 0},
        {9, {"TINJ < SOGLIA : CUTOFF ", "CUTOFF BY TINJ UNDER THRESHOLD", "CUTOFF BY TINJ < THRESHOLD"}, 0},
        {10, {"INIETTORI APERTI", "INJECTORS OPEN", "INJECTORS OPEN"}, 0},
        {12, {"ATTESA TEMPO INIZIALE", "WAITING INITIAL RPM FILTER", "WAITING INITIAL TIME FILTER"}, 0},
        {13,
         {"COMMUTAZIONE A BENZINA PER FINE GAS", "EMPTY TANK - SWITCHING TO PETROL",
          "GAS FINISHING - SWITCH TO PETROL"},
         0},
        {20, {"ASSENZA SEGNALE GIRI", "RPM SIGNAL NOT PRESENT", " "}, 0},
    };
    const int column = (languageIndex >= 1 && languageIndex <= 3) ? languageIndex - 1 : 0;
    for (const Row& row : rows) {
        if (row.code != ecuState) continue;
        QString text = QString::fromUtf8(row.text[column]);
        const QString gap = QStringLiteral("  ");
        if (row.suffix == 1) text += gap + QString::number(changeoverTemperature);
        if (row.suffix == 2) text += gap + QString::number(changeoverRpm);
        if (row.suffix == 3) text += gap + QString::number(changeoverRpm - 200);
        return text;
    }
    return QStringLiteral(" ");
}
