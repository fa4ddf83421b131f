#include "ui/params/cutoff_page.h"

#include "link/parameter_catalogue.h"
#include "link/parameter_rules.h"
#include "ui/common/widgets.h"
#include "ui/params/page_layout.h"

#include <QGridLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace {

const Caption kCaptions[] = {
    {kTitle, {"ORVANE - Parametri cutoff", "ORVANE - Cutoff parameters", "ORVANE - Gaz acma kapama idaresi"}},
    {kOfflineTitle,
     {"ORVANE - Parametri cutoff Non Connesso", "ORVANE - Cutoff parameters Not connected",
      "ORVANE - Gaz acma kapama idaresi Beyne bagli degil"}},
    {"Command1", shared_texts::exit},
    {"Command2", page_texts::modify},
    {"Option1", page_texts::readMode},
    {"Option2", page_texts::writeMode},
    {"Label1", parameterRule(param::cutoffRpmThreshold).name},
    {"Label2", parameterRule(param::cutoffTinjThreshold).name},
    {"Label4", parameterRule(param::cutoffKgb).name},
    {"Label5", {"GESTIONE CUTOFF", "CONTROL OF CUTOFF", "MANAGEMENT CUTOFF"}},
};

const PageField kFields[] = {
    {PageField::Kind::Box, param::cutoffRpmThreshold, {"Text1"}},
    {PageField::Kind::Box, param::cutoffTinjThreshold, {"Text2"}},
    {PageField::Kind::Box, param::cutoffKgb, {"Text4"}},
};
constexpr PageControls kControls{"Option1", "Option2", "Command2", "Command1"};

} // namespace

CutoffPage::CutoffPage(AppContext& context) : ParameterPage(context, WindowId::CutoffPage, 1000)
{
    auto* grid = new QGridLayout;
    addFieldRow(grid, 0, namedLabel(this, "Label1", QString()), parameterBox(this, "Text1"));
    grid->addWidget(namedLabel(this, "Label6", QStringLiteral("rpm")), 0, 2);
    addFieldRow(grid, 1, namedLabel(this, "Label2", QString()), parameterBox(this, "Text2"));
    grid->addWidget(namedLabel(this, "Label7", QStringLiteral("msec")), 1, 2);
    addFieldRow(grid, 2, namedLabel(this, "Label4", QString()), parameterBox(this, "Text4"));
    grid->setColumnStretch(3, 1);

    auto* fields = new QVBoxLayout;
    fields->addWidget(headingLabel(this, "Label5"));
    fields->addLayout(grid);
    layOutPage(this, fields, {}, kControls);

    bindFields(kFields, kControls);
}

std::span<const Caption> CutoffPage::captions() const
{
    return kCaptions;
}
