#include "ui/params/other_page.h"

#include "link/parameter_catalogue.h"
#include "ui/common/widgets.h"
#include "ui/params/page_layout.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>

namespace {

constexpr LocalText kCoils{"Numero di bobine", "Number of coils", "Bobin Sayisi"};
constexpr LocalText kInjectors{"Numero di iniettori", "Number of injectors", "Enjektor Sayisi"};
constexpr LocalText kCalibrationPressure{"Pressione di taratura", "Calibration pressure", "Basinc Ayari"};
constexpr LocalText kMinTemperature{"Temperatura minima", "Minimum temperature", "En Dusuck Derece"};
constexpr LocalText kMaxTemperature{"Temperatura massima", "Maximum temperature", "En Yuksek Derece"};
constexpr LocalText kCalibrationTemperature{"Temperatura di taratura", "Calibration temperature",
                                            "Temperatura di taratura"};
constexpr LocalText kPressureCorrectionRpm{"Soglia giri inserimento correttivo pressione",
                                           "RPM threshold to activate pressure corrective values",
                                           "Soglia giri inserimento correttivo pressione"};

const Caption kCaptions[] = {
    {kTitle, {"ORVANE - Altri parametri", "ORVANE - Other parameters", "ORVANE - Diger Parametreler"}},
    {kOfflineTitle,
     {"ORVANE - Altri parametri Non Connesso", "ORVANE - Other parameters Not connected",
      "ORVANE - Diger Parametreler Beyne Bagli Degil"}},
    {"Command1", shared_texts::exit},
    {"Command2", page_texts::modify},
    {"Option1", {"Modalità lettura", "Reading mode", "Degerleri Oku"}},
    {"Option2", {"Modalità scrittura", "Writing mode", "Degerleri Degistir"}},
    {"Label1", kCoils},
    {"Label2", kInjectors},
    {"Label4", kCalibrationPressure},
    {"Label5", kMinTemperature},
    {"Label6", kMaxTemperature},
    {"Label11", kCalibrationTemperature},
    {"Label14", kPressureCorrectionRpm},
    {"Frame1", {"SENSORE PRESSIONE", "PRESSURE SENSOR", "SENSORE PRESSIONE"}},
    {"Option3", {"PRS 210"}},
    {"Option4", {"PRS 620"}},
};

// the boxes convert to 32-bit numbers: the frame's 0..65535 reach the ECU
const PageField kFields[] = {
    {PageField::Kind::Box, param::coilCount, {"Text1"}, {kCoils}},
    {PageField::Kind::Box, param::injectorCount, {"Text2"}, {kInjectors}},
    {PageField::Kind::Box, param::calibrationTemperature, {"Text6"}, {kCalibrationTemperature}},
    {PageField::Kind::Box, param::calibrationPressure, {"Text3"}, {kCalibrationPressure}},
    {PageField::Kind::Box, param::minTemperature, {"Text4"}, {kMinTemperature}},
    {PageField::Kind::Box, param::maxTemperature, {"Text5"}, {kMaxTemperature}},
    {PageField::Kind::Box, param::pressureCorrectionRpmThreshold, {"Text7"}, {kPressureCorrectionRpm}},
    {PageField::Kind::Options, param::pressureSensorType, {"Option3", "Option4"}},
};
constexpr PageControls kControls{"Option1", "Option2", "Command2", "Command1"};

} // namespace

OtherPage::OtherPage(AppContext& context) : ParameterPage(context, WindowId::OtherPage, 200)
{
    const QString celsius = QStringLiteral("°C");
    struct Row {
        const char* caption;
        const char* box;
        QString unit;
    };
    // top to bottom as the installer fills them in; the write order is the fields' order above
    const Row rows[] = {
        {"Label1", "Text1", {}},
        {"Label2", "Text2", {}},
        {"Label4", "Text3", QStringLiteral("mbar")},
        {"Label14", "Text7", QStringLiteral("rpm")}, // an engine speed
        {"Label11", "Text6", celsius},
        {"Label6", "Text5", celsius},
        {"Label5", "Text4", celsius},
    };
    auto* grid = new QGridLayout;
    int r = 0;
    for (const Row& row : rows)
        addFieldRow(grid, r++, namedLabel(this, QString::fromLatin1(row.caption), QString()),
                    parameterBox(this, row.box), row.unit);
    grid->setColumnMinimumWidth(2, 40);

    QGroupBox* sensor = optionFrame(this, "Frame1", {"Option3", "Option4"});
    layOutPage(this, grid, {sensor}, kControls);

    bindFields(kFields, kControls);
}

std::span<const Caption> OtherPage::captions() const
{
    return kCaptions;
}
