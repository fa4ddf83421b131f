#pragma once

#include <QString>

#include <array>
#include <cstddef>

// An array addressed the way the ECU numbers things: parameter ids 1..61, cells 1..64,
// cylinders 1..8. Keeping the protocol's numbering avoids off-by-one translations everywhere.
template <typename T, std::size_t N> struct OneBased {
    std::array<T, N> items{};

    static constexpr int first() { return 1; }
    static constexpr int last() { return static_cast<int>(N); }
    static constexpr bool contains(int index) { return index >= 1 && index <= static_cast<int>(N); }

    T& operator[](int index) { return items.at(static_cast<std::size_t>(index - 1)); }
    const T& operator[](int index) const { return items.at(static_cast<std::size_t>(index - 1)); }
    auto begin() { return items.begin(); }
    auto end() { return items.end(); }
    auto begin() const { return items.begin(); }
    auto end() const { return items.end(); }
    void fill(const T& value) { items.fill(value); }

    bool operator==(const OneBased&) const = default;
};

constexpr int kParameterCount = 61;
constexpr int kTableCellCount = 64;
constexpr int kCylinderCount = 8;

// Live values of the status reply (code 3) and the calibration replies (codes 10 and 13).
struct LiveStatus {
    int lambda1Mv = 0;
    int lambda2Mv = 0;
    int kgbTab = 0;
    int kgbCor = 0;
    int pressureMbar = 0;
    int pressure2Mbar = 0;
    int temperature1 = 0;
    int temperature2Raw = 0; // degrees C + 40
    int rpm = 0;
    int levelMv = 0;
    OneBased<int, kCylinderCount> petrolTinj;
    int ecuState = 0;
    int onPetrol = 0;
    // calibration replies only
    int kgbInUse = 0;
    int calibrationTinj = 0;
    int calibrationState = 0;

    bool operator==(const LiveStatus&) const = default;
};

struct EolResults {
    int eolPhase = 0;
    int eolPreviousPhase = 0;
    OneBased<int, kCylinderCount> eolCylinderResults;
    OneBased<int, 9> eolChecks;

    bool operator==(const EolResults&) const = default;
};

// The one record every window shares. Flags are ints holding 0 or 1, as the windows compare them.
struct SharedState {
    // mode, language and serial configuration
    int offlineMode = 0;
    int languageIndex = 1; // 1 Italian, 2 English, 3 Turkish
    int serialPortNumber = 1;
    QString serialPortName; // a device beyond ports 1..4 (USB adapter, --port); empty: use the number
    QString serialSettings = QStringLiteral("9600,n,8,1");
    int quitOnMessageClose = 0;
    int exitRequested = 0;
    int stableTinjRange = 200;
    QString archiveFileName; // the vehicle workbook last chosen in the archive's file dialog

    // reply flags
    int parametersReceived = 0;
    int statusReceived = 0;
    int statusReplySeen = 0;
    int changeoverAcknowledged = 0;
    int defaultsAcknowledged = 0;
    int downloadAcknowledged = 0;
    int versionReceived = 0;
    int tableReceived = 0;
    int calibrationFrameReceived = 0;
    int calibrationOnAcknowledged = 0;
    int calibrationOffAcknowledged = 0;
    int eolCommandAcknowledged = 0;
    int eolResultsPending = 0;
    int calibrationExtraReceived = 0;

    // calibration flags
    int calibrationInactive = 0;
    int autoCalibrationRequested = 0;
    int autoCalibrationTableReady = 0;
    int fillTableRequested = 0;
    int switchingRpmMode = 0;
    int calibrationPressureMode = 0;
    int calibrationTemperatureMode = 0;
    int coilCalibrationMode = 0;
    int coilCalibrationAbort = 0;
    int trialCoilCount = 0;
    int calibrationKgb = 0;
    int petrolTinjRef = 0;
    int gasTinjRef = 0;

    // counters
    int versionRequestCount = 0;
    int lostLinkCount = 0;

    // the ECU image
    OneBased<int, kParameterCount> parameterValues;
    OneBased<int, kParameterCount> pendingParameterValues;
    OneBased<int, kTableCellCount> tableCells;
    OneBased<int, kTableCellCount> pendingTableCells;
    LiveStatus liveStatus;
    OneBased<int, 8> calibrationExtra;
    OneBased<int, 3> ecuVersion;
    EolResults eolResults;
    OneBased<int, kCylinderCount> eolCylinderMarks;

    // derived display scales
    double levelStep = 0.0;
    int lambda1FullScale = 0;
    int lambda1Step = 0;
    int lambda2FullScale = 0;
    int lambda2Step = 0;

    bool operator==(const SharedState&) const = default;
};

// What the start window sets when the program starts.
void applyStartValues(SharedState& state);

// "MENU" starts a new connect handshake.
void clearHandshakeFlags(SharedState& state);

// |parameter 20 - parameter 19| / 16
void recomputeLevelStep(SharedState& state);

// Full scale and step of one oxygen sensor (1 or 2) from its type parameter (3 or 50);
// an unknown type leaves the pair as it was.
void recomputeLambdaScale(SharedState& state, int sensor);
