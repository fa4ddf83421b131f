#include "link/eol_rules.h"

#include <algorithm>

std::vector<std::pair<int, bool>> decodeBitChain(int value, int highestBit,
                                                 const std::vector<int>& indicators)
{
    std::vector<std::pair<int, bool>> out;
    int remainder = value;
    int bit = highestBit;
    for (const int indicator : indicators) {
        const int weight = 1 << bit;
        bool red;
        if (weight == 1) {
            red = remainder == 1;
        } else {
            red = remainder >= weight;
            if (red) remainder -= weight;
        }
        out.emplace_back(indicator, red);
        --bit;
    }
    return out;
}

std::vector<std::pair<int, bool>> eolResultIndicators(const EolResults& results,
                                                      OneBased<int, kCylinderCount>& cylinderMarks)
{
    std::vector<std::pair<int, bool>> out;
    for (int cylinder = 1; cylinder <= kCylinderCount; ++cylinder) {
        const int first = cylinderIndicator(cylinder);
        const auto row =
            decodeBitChain(results.eolCylinderResults[cylinder], 3, {first, first + 1, first + 2, first + 3});
        cylinderMarks[cylinder] = row[1].second ? 1 : 0; // bit 2, "EMUL"
        out.insert(out.end(), row.begin(), row.end());
    }
    for (int first = 1; first <= 7; first += 2)
        out.emplace_back(pairIndicator(first), cylinderMarks[first] == 1 && cylinderMarks[first + 1] == 1);

    const OneBased<int, 9>& c = results.eolChecks;
    const auto both = [&out](int value, int a, int b) {
        out.emplace_back(a, value == 1);
        if (b >= 0) out.emplace_back(b, value == 1);
    };
    const auto chain = [&out](int value, int highestBit, const std::vector<int>& indicators) {
        const auto decoded = decodeBitChain(value, highestBit, indicators);
        out.insert(out.end(), decoded.begin(), decoded.end());
    };
    both(c[1], 42, 32);
    both(c[2], 51, 43);
    chain(c[3], 4, {41, 46, 45, 36, 47});
    both(c[4], 48, 38);
    chain(c[5], 2, {35, 34, 49});
    both(c[6], 50, 37);
    chain(c[7], 3, {40, 39, 44, 33});
    chain(c[8], 1, {52, 53});
    both(c[9], 54, -1);
    return out;
}

QString eolIndicatorCaption(int indicator)
{
    static const char* const captions[] = {
        "PRESSIONE1",
        "PRESSIONE2",
        "LAMBDA1",
        "LAMBDA2",
        "TPS_ANALOGICO",
        "DSP",
        "TEMPERATURA1",
        "EMUL_LAMBDA1",
        "EMUL_LAMBDA2",
        "BUZZER",
        "RELE_GAS",
        "RELE_GENERALE",
        "RELE_EMULAZIONE",
        "TPS_DIGITALE",
        "RPM",
        "LED1",
        "LED2",
        "LED3",
        "LED4",
        "TASTO_GAS",
        "BATTERIA",
        "SENSORI",
        "CONTROLLO 9", // the ninth check has no name of its own
        "POWER LATCH",
        "WATCH DOG",
    };
    if (indicator < 32 || indicator > 56) return {};
    return QString::fromLatin1(captions[indicator - 32]);
}

std::vector<int> eolShownIndicators(int cylinders)
{
    std::vector<int> shown;
    for (int cylinder = 1; cylinder <= std::min(cylinders, kCylinderCount); ++cylinder)
        for (int k = 0; k < 4; ++k)
            shown.push_back(cylinderIndicator(cylinder) + k);
    for (int first = 1; first <= std::min(cylinders, kCylinderCount); first += 2)
        shown.push_back(pairIndicator(first));
    for (int indicator = 32; indicator <= kEolWatchDog; ++indicator)
        shown.push_back(indicator);
    return shown;
}

QString eolCheckName(int indicator)
{
    // the grid's heading "STAT EMUL OUT  IN" over the rows "1".."8"
    static const char* const columns[] = {"STAT", "EMUL", "OUT", "IN"};
    if (indicator >= 0 && indicator < 32)
        return QStringLiteral("%1 %2").arg(QLatin1String(columns[indicator % 4])).arg(indicator / 4 + 1);
    if (indicator >= 57 && indicator < kEolIndicatorCount) {
        const int first = 2 * (indicator - 57) + 1;
        return QStringLiteral("RELE EMUL INJ %1-%2").arg(first).arg(first + 1);
    }
    return eolIndicatorCaption(indicator);
}
