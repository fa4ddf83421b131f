#include "link/frames.h"
#include "link/parameter_catalogue.h"
#include "link/parameter_labels.h"
#include "link/serial_link.h"

#include <QSet>
#include <QTest>

#include <array>
#include <set>

class TestFrames : public QObject {
    Q_OBJECT
private slots:
    void workedExamples();
    void everyBareRequestIsFiveBytes();
    void buildersRefuseWhatTheFrameCannotCarry();
    void valueEncodingEdges();
    void catalogueAndWorkbookRows();
    void labelsAsTheWindowsReadThem();
    void serialSettingsText();
};

static QByteArray bytes(std::initializer_list<int> values)
{
    QByteArray out;
    for (int v : values)
        out.append(static_cast<char>(v));
    return out;
}

void TestFrames::workedExamples()
{
    QCOMPARE(*frames::writeParameter(12, 300), bytes({0x50, 0x43, 0x00, 0x09, 0x02, 0x00, 0x0C, 0x01, 0x2C}));
    QCOMPARE(*frames::writeParameter(4, 350), bytes({'P', 'C', 0x00, 0x09, 0x02, 0x00, 0x04, 0x01, 0x5E}));
    QCOMPARE(*frames::writeTableCell(64, 255), bytes({'P', 'C', 0, 7, 9, 64, 255}));
    QCOMPARE(*frames::calibrationPoll(0), bytes({'P', 'C', 0, 7, 10, 0, 0}));
    QCOMPARE(*frames::calibrationPoll(0x1234), bytes({'P', 'C', 0, 7, 10, 0x12, 0x34}));
    QCOMPARE(*frames::calibrationPollCoils(3), bytes({'P', 'C', 0, 6, 13, 3}));
    QCOMPARE(*frames::eolCommand(6), bytes({'P', 'C', 0, 6, 14, 6}));
}

void TestFrames::everyBareRequestIsFiveBytes()
{
    const std::array<std::pair<QByteArray, int>, 11> bare{{
        {frames::readAllParameters(), 1},
        {frames::readStatus(), 3},
        {frames::fuelChangeover(), 4},
        {frames::restoreDefaults(), 5},
        {frames::enterDownload(), 6},
        {frames::readVersion(), 7},
        {frames::readTable(), 8},
        {frames::calibrationOn(), 11},
        {frames::calibrationOff(), 12},
        {frames::readEolResults(), 15},
        {frames::readCalibrationExtra(), 16},
    }};
    for (const auto& [frame, code] : bare)
        QCOMPARE(frame, bytes({'P', 'C', 0, 5, code}));
}

void TestFrames::buildersRefuseWhatTheFrameCannotCarry()
{
    QVERIFY(!frames::writeParameter(1, -1));
    QVERIFY(!frames::writeParameter(1, 65536));
    QVERIFY(!frames::writeParameter(0, 1));
    QVERIFY(!frames::writeParameter(62, 1));
    QVERIFY(frames::writeParameter(61, 65535).has_value());
    QVERIFY(!frames::writeTableCell(1, 256));
    QVERIFY(!frames::writeTableCell(1, -1));
    QVERIFY(!frames::writeTableCell(0, 1));
    QVERIFY(!frames::writeTableCell(65, 1));
    QVERIFY(!frames::calibrationPoll(70000));
    QVERIFY(!frames::calibrationPollCoils(256));
    QVERIFY(!frames::eolCommand(-4));
}

void TestFrames::valueEncodingEdges()
{
    QCOMPARE(frames::value16At(bytes({0xFF, 0xFF}), 1), 65535);
    QCOMPARE(frames::value16At(bytes({0x00, 0x02}), 1), 2);
    QCOMPARE(frames::value16At(bytes({0x01, 0x00}), 1), 256);
    const QByteArray f = *frames::writeParameter(7, 65535);
    QCOMPARE(frames::value16At(f, 8), 65535);
}

void TestFrames::catalogueAndWorkbookRows()
{
    std::set<std::string> names;
    for (int id = 1; id <= 61; ++id) {
        QCOMPARE(parameterInfo(id)->id, id);
        names.insert(parameterInfo(id)->name);
    }
    QCOMPARE(names.size(), 61u);
    QVERIFY(!parameterInfo(0));
    QVERIFY(!parameterInfo(62));
    QCOMPARE(QString(parameterInfo(param::changeoverRpm)->name), QString("changeoverRpm"));
    QCOMPARE(QString(parameterInfo(param::mapTinjAxis + 7)->name), QString("mapTinjAxis[8]"));

    QCOMPARE(workbookRowOfParameter(param::calibrationPressure), 28);
    QCOMPARE(workbookRowOfParameter(param::calibrationTemperature), 29);
    std::set<int> rows;
    for (int id = 1; id <= kArchivedParameterCount; ++id) {
        rows.insert(workbookRowOfParameter(id));
        QCOMPARE(parameterAtWorkbookRow(workbookRowOfParameter(id)), id);
    }
    QCOMPARE(rows.size(), 60u);
    QCOMPARE(*rows.begin(), 1);
    QCOMPARE(*rows.rbegin(), 60);
}

void TestFrames::labelsAsTheWindowsReadThem()
{
    for (Language language : {Language::Italian, Language::English, Language::Turkish}) {
        QSet<QString> names;
        for (int id = 1; id <= 61; ++id) {
            const QString label = parameterLabel(id, language);
            const QString where = QStringLiteral("id %1, language %2").arg(id).arg(int(language));
            QVERIFY2(!label.isEmpty() && label == label.trimmed() && !label.contains(QLatin1String("  ")),
                     qPrintable(where));
            QVERIFY2(parameterName(id, language).startsWith(label), qPrintable(where));
            // a technician must tell every value apart by its name alone
            names.insert(parameterName(id, language));
        }
        QCOMPARE(names.size(), 61);
    }
    QCOMPARE(parameterName(param::lambda1LeanThreshold, Language::Italian),
             QString("LAMBDA1 - SOGLIA MAGRO (parametro 4)"));
    QCOMPARE(parameterName(param::overlapGasToPetrol, Language::Italian),
             QString("COMMUTAZIONE GAS -> BENZINA - TEMPO SOVRAPPOSIZIONE (parametro 14)"));
    QCOMPARE(parameterName(param::lambda2RichThreshold, Language::English),
             QString("OXYGEN SENSOR2 - Rich threshold (parameter 52)"));
    QCOMPARE(parameterName(param::mapRpmAxis + 2, Language::Italian), QString("Asse RPM punto 3"));
    QCOMPARE(parameterName(param::mapTinjAxis + 7, Language::Turkish), QString("TINJ ekseni nokta 8"));
    QCOMPARE(tableCellName(12, Language::Italian), QString("Cella riga 2 colonna 4"));
    QCOMPARE(valueWithUnit(param::lambda1LeanThreshold, 350), QString("350 mV"));
    QCOMPARE(valueWithUnit(param::calibrationTemperature, -3), QString("-3 °C"));
    QCOMPARE(valueWithUnit(param::injectorCount, 4), QString("4"));
    // an id the ECU does not have is named, never crashes
    for (int id : {0, 62, -1})
        QCOMPARE(parameterName(id, Language::English), QStringLiteral("parameter %1").arg(id));
}

void TestFrames::serialSettingsText()
{
    const auto standard = parseSerialSettings("9600,n,8,1");
    QVERIFY(standard);
    QCOMPARE(standard->baudRate, 9600);
    QCOMPARE(standard->parity, QSerialPort::NoParity);
    QCOMPARE(standard->dataBits, QSerialPort::Data8);
    QCOMPARE(standard->stopBits, QSerialPort::OneStop);

    const auto other = parseSerialSettings("38400,e,7,2");
    QVERIFY(other);
    QCOMPARE(other->baudRate, 38400);
    QCOMPARE(other->parity, QSerialPort::EvenParity);
    QCOMPARE(other->dataBits, QSerialPort::Data7);
    QCOMPARE(other->stopBits, QSerialPort::TwoStop);
    QCOMPARE(parseSerialSettings("110,O,5,1.5")->stopBits, QSerialPort::OneAndHalfStop);

    for (const char* bad : {"", "9600", "9600,n,8", "9600,x,8,1", "abc,n,8,1", "9600,n,9,1", "9600,n,8,3",
                            "-1,n,8,1", "9600,n,8,1,1"})
        QVERIFY2(!parseSerialSettings(bad), bad);

#ifndef Q_OS_WIN
    QCOMPARE(portNameForNumber(1), QString("/dev/ttyS0"));
    QCOMPARE(portNameForNumber(4), QString("/dev/ttyS3"));
#endif
}

QTEST_GUILESS_MAIN(TestFrames)
#include "test_frames.moc"
