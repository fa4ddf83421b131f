#include "ui/params/commutation_page.h"

#include "link/parameter_catalogue.h"
#include "link/parameter_rules.h"
#include "ui/common/widgets.h"
#include "ui/params/page_layout.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QVBoxLayout>

namespace {

constexpr LocalText kOverlap{"Tempo sovrapposizione", "Overlap time", "Overlap time"};

const Caption kCaptions[] = {
    {kTitle,
     {"ORVANE - Parametri commutazione", "ORVANE - Commutation parameters",
      "ORVANE - Yakit degisim degerleri"}},
    {kOfflineTitle,
     {"ORVANE - Parametri commutazione Non connesso", "ORVANE - Commutation parameters Not connected",
      "ORVANE - Yakit degisim degerleri Beyne bagli degil"}},
    {"Command1", shared_texts::exit},
    {"Command2", page_texts::modify},
    {"Option1", page_texts::readMode},
    {"Option2", page_texts::writeMode},
    {"Frame1", {"COMMUTAZIONE", "CHANGING", "YAKIT DEGISIMI"}},
    {"Frame2", {"TIPO COMMUTATORE", "SWITCHING", "COMMUTATORE "}},
    {"Label5", {"COMMUTAZIONE G->B", "SWITCHING G->P", "YAKIT DEGISIM G->B"}},
    {"Label6", {"COMMUTAZIONE B->G", "SWITCHING P->G", "YAKIT DEGISIM B->G"}},
    {"Label11",
     {"COMMUTAZIONE G->B - FINE GAS", "SWITCHING G->P - END OF GAS", "YAKIT DEGISIM G->B - GAZ BITTIGINDE"}},
    {"Label1", parameterRule(param::changeoverRpm).name},
    {"Label2", kOverlap},
    {"Label3", kOverlap},
    {"Label4", parameterRule(param::changeoverTemperature).name},
    {"Label12", parameterRule(param::endOfGasPressure).name},
    {"Label15", parameterRule(param::startFilterTime).name},
    {"Option3", {"Accelerazione", "Acceleration", "Devir yukselirken"}},
    {"Option4", {"Decelerazione", "Deceleration", "Devir duserken"}},
    {"Option5", {"DEVIATORE", "SWITCH", "TASTO"}},
    {"Option6", {"TRX 310"}},
    {"Option7", {"TRX 410"}},
    {"Check1", {"Commutazione a caldo", "Warm switching", "Warm switching"}},
};

const PageField kFields[] = {
    {PageField::Kind::Box, param::changeoverRpm, {"Text1"}},
    {PageField::Kind::Box, param::overlapGasToPetrol, {"Text2"}},
    {PageField::Kind::Box, param::overlapPetrolToGas, {"Text3"}},
    {PageField::Kind::Box, param::changeoverTemperature, {"Text4"}},
    {PageField::Kind::Box, param::endOfGasPressure, {"Text5"}},
    {PageField::Kind::Options, param::changeoverMode, {"Option3", "Option4"}},
    {PageField::Kind::Box, param::startFilterTime, {"Text6"}},
    {PageField::Kind::Options, param::changeoverSwitchType, {"Option5", "Option6", "Option7"}},
    {PageField::Kind::Check, param::warmSwitching, {"Check1"}},
};
constexpr PageControls kControls{"Option1", "Option2", "Command2", "Command1"};

} // namespace

CommutationPage::CommutationPage(AppContext& context)
    : ParameterPage(context, WindowId::CommutationPage, 1000)
{
    const QString msec = QStringLiteral("msec");
    auto* fields = new QGridLayout;
    fields->addWidget(headingLabel(this, "Label5"), 0, 0, 1, 3);
    addFieldRow(fields, 1, namedLabel(this, "Label3", QString()), parameterBox(this, "Text2"), msec);
    fields->addWidget(headingLabel(this, "Label6"), 2, 0, 1, 3);
    addFieldRow(fields, 3, namedLabel(this, "Label1", QString()), parameterBox(this, "Text1"));
    addFieldRow(fields, 4, namedLabel(this, "Label2", QString()), parameterBox(this, "Text3"), msec);
    addFieldRow(fields, 5, namedLabel(this, "Label4", QString()), parameterBox(this, "Text4"),
                QStringLiteral("°C"));
    addFieldRow(fields, 6, namedLabel(this, "Label15", QString()), parameterBox(this, "Text6"), msec);
    fields->addWidget(headingLabel(this, "Label11"), 7, 0, 1, 3);
    addFieldRow(fields, 8, namedLabel(this, "Label12", QString()), parameterBox(this, "Text5"),
                QStringLiteral("mbar"));
    fields->setColumnMinimumWidth(2, 40);
    fields->setRowMinimumHeight(2, 30);
    fields->setRowMinimumHeight(7, 30);
    fields->setRowStretch(9, 1);

    QGroupBox* changing = optionFrame(this, "Frame1", {"Option3", "Option4"});
    auto* changingLayout = static_cast<QVBoxLayout*>(changing->layout());
    changingLayout->addSpacing(8);
    addOption(changingLayout, new QCheckBox(changing), "Check1");
    QGroupBox* switchType = optionFrame(this, "Frame2", {"Option5", "Option6", "Option7"});

    layOutPage(this, fields, {changing, switchType}, kControls);

    bindFields(kFields, kControls);
}

std::span<const Caption> CommutationPage::captions() const
{
    return kCaptions;
}
