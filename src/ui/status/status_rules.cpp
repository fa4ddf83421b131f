#include "ui/status/status_rules.h"

#include <cmath>

BoxView MissingSignalCounter::apply(bool missing, const QString& valueText)
{
    if (!missing) {
        count_ = 0;
        return {valueText, true};
    }
    if (showsNc(missing)) return {QStringLiteral("NC"), false};
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
        if (showsNc(value)) view.text = QStringLiteral("NC");
    }
    previous_ = value;
    return view;
}

void LambdaAverage::add(int mv)
{
    ++ticks_;
    // in whole millivolts: tenths summed in binary fractions lose one mV on most values
    sum_ += mv;
    if (ticks_ >= samples_) {
        ticks_ = 0;
        shown_ = QString::number(sum_ / samples_);
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

std::array<QColor, kOxygenSegments> oxygenBarColours(int mv, int sensorType, int fullScale, int step)
{
    const auto marks = oxygenMarkers(mv, sensorType, fullScale, step);
    std::array<QColor, kOxygenSegments> colours;
    for (int i = 0; i < kOxygenSegments; ++i)
        colours[static_cast<size_t>(i)] =
            marks[static_cast<size_t>(i)] ? colours::yellow : oxygenBaseColour(i);
    return colours;
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

std::optional<QString> stateText(std::span<const StateText> rows, int code, int languageIndex,
                                 int changeoverTemperature, int changeoverRpm)
{
    for (const StateText& row : rows) {
        if (row.code != code) continue;
        QString text = row.text.in(languageOf(languageIndex));
        const QString gap = QStringLiteral("  ");
        if (row.suffix == StateText::Temperature) text += gap + QString::number(changeoverTemperature);
        if (row.suffix == StateText::Rpm) text += gap + QString::number(changeoverRpm);
        if (row.suffix == StateText::RpmLess200) text += gap + QString::number(changeoverRpm - 200);
        return text;
    }
    return std::nullopt;
}

QString ecuStateMessage(int ecuState, int languageIndex, int changeoverTemperature, int changeoverRpm)
{
    static constexpr StateText rows[] = {
        {1, {"G->B ATTESA TEMPO SOVRAPPOSIZIONE", "G->P WAITING OVERLAP TIME", "G->P WAITING OVERLAP TIME"}},
        {2,
         {"B->G ATTESA TEMPERATURA", "P->G WAITING TEMPERATURE ABOVE THRESHOLD", "P->G WAITING TEMPERATURE"},
         StateText::Temperature},
        {3,
         {"B->G ATTESA GIRI MAGGIORI DI SOGLIA", "P->G WAITING RPM ABOVE THRESHOLD",
          "P->G WAITING RPM ABOVE THRESHOLD"},
         StateText::Rpm},
        {4,
         {"B->G ATTESA GIRI MINORI DI SOGLIA", "P->G WAITING RPM BELOW THRESHOLD",
          "P->G WAITING RPM BELOW THRESHOLD"},
         StateText::RpmLess200},
        {5, {"B->G ATTESA TEMPO SOVRAPPOSIZIONE", "P->G WAITING OVERLAP TIME", "P->G WAITING OVERLAP TIME"}},
        {6, {"PARTENZA FORZATO GAS - EMERGENZA", "EMERGENCY GAS STARTING", "EMERGENCY GAS STARTING"}},
        {7, {"SAFETY - NO GIRI", "SAFETY - NO RPM", "SAFETY - NO RPM"}},
        {8, {"TINJ = 0 : CUTOFF", "CUTOFF BY TINJ = 0", "CUTOFF BY TINJ = 0"}},
        {9, {"TINJ < SOGLIA : CUTOFF ", "CUTOFF BY TINJ UNDER THRESHOLD", "CUTOFF BY TINJ < THRESHOLD"}},
        {10, {"INIETTORI APERTI", "INJECTORS OPEN", "INJECTORS OPEN"}},
        {12, {"ATTESA TEMPO INIZIALE", "WAITING INITIAL RPM FILTER", "WAITING INITIAL TIME FILTER"}},
        {13,
         {"COMMUTAZIONE A BENZINA PER FINE GAS", "EMPTY TANK - SWITCHING TO PETROL",
          "GAS FINISHING - SWITCH TO PETROL"}},
        {20, {"ASSENZA SEGNALE GIRI", "RPM SIGNAL NOT PRESENT", " "}},
    };
    return stateText(rows, ecuState, languageIndex, changeoverTemperature, changeoverRpm)
        .value_or(QStringLiteral(" "));
}
