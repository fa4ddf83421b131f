#include "ui/params/other_page.h"

#include "link/parameter_catalogue.h"
#include "link/parameter_rules.h"
#include "ui/common/widgets.h"
#include "ui/params/page_layout.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>

namespace {

const Caption kCaptions[] = {
    {kTitle, {"ORVANE - Altri parametri", "ORVANE - Other parameters", "ORVANE - Diger Parametreler"}},
    {kOfflineTitle,
     {"ORVANE - Altri parametri Non Connesso", "ORVANE - Other parameters Not connected",
      "ORVANE - Diger Parametreler Beyne Bagli Degil"}},
    {"Command1", shared_texts::exit},
    {"Command2", page_texts::modify},
    {"Option1", {"Modalità lettura", "Reading mode", "Degerleri Oku"}},
    {"Option2", {"Modalità scrittura", "Writing mode", "Degerleri Degistir"}},
    {"Label1", parameterRule(param::coilCount).name},
    {"Label2", parameterRule(param::injectorCount).name},
    {"Label4", parameterRule(param::calibrationPressure).name},
    {"Label5", parameterRule(param::minTemperature).name},
    {"Label6", parameterRule(param::maxTemperature).name},
    {"Label11", parameterRule(param::calibrationTemperature).name},
    {"Label14", parameterRule(param::pressureCorrectionRpmThreshold).name},
    {"Frame1", {"SENSORE PRESSIONE", "PRESSURE SENSOR", "SENSORE PRESSIONE"}},
    {"Option3", {"PRS 210"}},
    {"Option4", {"PRS 620"}},
};

const PageField kFields[] = {
    {PageField::Kind::Box, param::coilCount, {"Text1"}},
    {PageField::Kind::Box, param::injectorCount, {"Text2"}},
    {PageField::Kind::Box, param::calibrationTemperature, {"Text6"}},
    {PageField::Kind::Box, param::calibrationPressure, {"Text3"}},
    {PageField::Kind::Box, param::minTemperature, {"Text4"}},
    {PageField::Kind::Box, param::maxTemperature, {"Text5"}},
    {PageField::Kind::Box, param::pressureCorrectionRpmThreshold, {"Text7"}},
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
