#include "ui/params/lambda_page.h"

#include "link/parameter_catalogue.h"
#include "link/parameter_rules.h"
#include "ui/common/widgets.h"
#include "ui/params/page_layout.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace {

constexpr LocalText kLean{"Soglia magro", "Lean threshold", "SOGLIA MAGRO"};
constexpr LocalText kRich{"Soglia ricco", "Rich threshold", "SOGLIA RICCO"};
constexpr LocalText kStraight5{"DIRITTA 0-5V", "STRAIGHT 0-5V", "DUZ 0-5V"};
constexpr LocalText kInverted5{"INVERTITA 5-0V", "INVERTED 5-0V", "TERS 5-0V"};
constexpr LocalText kStraight1{"DIRITTA 0-1V", "STRAIGHT 0-1V", "DUZ 0-1V"};
constexpr LocalText kInverted1{"INVERTITA 1-0V", "INVERTED 1-0V", "TERS 1-0V"};

const Caption kCaptions[] = {
    {kTitle, {"ORVANE - Parametri lambda", "ORVANE - OXYGEN sensor parameters", "ORVANE - LAMBDA degerleri"}},
    {kOfflineTitle,
     {"ORVANE - Parametri lambda Non Connesso", "ORVANE - OXYGEN sensor parameters Not Connected",
      "ORVANE - LAMBDA degerleri Beyne bagli degil"}},
    {"Command1", shared_texts::exit},
    {"Command2", page_texts::modify},
    {"Option3", page_texts::readMode},
    {"Option4", page_texts::writeMode},
    {"Frame1", {"LAMBDA1", "OXYGEN SENSOR1", "LAMBDA tipi"}},
    {"Frame2", {"LAMBDA2", "OXYGEN SENSOR2", "TIPO LAMBDA2"}},
    {"Label3", parameterRule(param::lambdaCorrectionRpmThreshold).name},
    {"Option1_0", kStraight5},
    {"Option1_1", kInverted5},
    {"Option1_2", kStraight1},
    {"Option1_3", kInverted1},
    {"Option2_0", {"DIRITTA 0-5V", "STRAIGHT 0-5V", "DIRITTO 0-5V"}},
    {"Option2_1", {"INVERTITA 5-0V", "INVERTED 5-0V", "INVERTITO 5-0V"}},
    {"Option2_2", {"DIRITTA 0-1V", "STRAIGHT 0-1V", "DIRITTO 0-1V"}},
    {"Option2_3", {"INVERTITA 1-0V", "INVERTED 1-0V", "INVERTITO 1-0V"}},
    {"Label21", kLean},
    {"Label26", kLean},
    {"Label23", kRich},
    {"Label25", kRich},
};

// in write order
const PageField kFields[] = {
    {PageField::Kind::Options,
     param::lambda1SensorType,
     {"Option1_0", "Option1_1", "Option1_2", "Option1_3"}},
    {PageField::Kind::Box, param::lambda1LeanThreshold, {"Text6"}},
    {PageField::Kind::Box, param::lambda1RichThreshold, {"Text5"}},
    {PageField::Kind::Box, param::lambdaCorrectionRpmThreshold, {"Text3"}},
    {PageField::Kind::Options,
     param::lambda2SensorType,
     {"Option2_0", "Option2_1", "Option2_2", "Option2_3"}},
    {PageField::Kind::Box, param::lambda2LeanThreshold, {"Text8"}},
    {PageField::Kind::Box, param::lambda2RichThreshold, {"Text7"}},
};

// One sensor's frame: the four types, then rich above lean, each with "mV".
QGroupBox* sensorFrame(QWidget* parent, const char* frame, int group, const char* rich, const char* richLabel,
                       const char* lean, const char* leanLabel)
{
    auto* f = new QGroupBox(parent);
    f->setObjectName(QString::fromLatin1(frame));
    auto* layout = new QVBoxLayout(f);
    for (int type = 0; type < 4; ++type) {
        const QByteArray option = QStringLiteral("Option%1_%2").arg(group).arg(type).toLatin1();
        addOption(layout, new QRadioButton(f), option.constData());
    }
    auto* thresholds = new QGridLayout;
    addFieldRow(thresholds, 0, namedLabel(f, QString::fromLatin1(richLabel), QString()),
                parameterBox(f, rich), QStringLiteral("mV"));
    addFieldRow(thresholds, 1, namedLabel(f, QString::fromLatin1(leanLabel), QString()),
                parameterBox(f, lean), QStringLiteral("mV"));
    layout->addLayout(thresholds);
    return f;
}

// The emulation period and duty cycles of a sensor: kept on the page, never shown nor sent.
QGroupBox* emulationFrame(QWidget* parent, int sensor)
{
    auto* f = new QGroupBox(parent);
    f->setObjectName(QStringLiteral("Emulation%1").arg(sensor));
    auto* row = new QHBoxLayout(f);
    for (int i = 0; i < 4; ++i)
        row->addWidget(new QLineEdit(f));
    f->setVisible(false);
    f->setEnabled(false);
    return f;
}

constexpr PageControls kControls{"Option3", "Option4", "Command2", "Command1"};

} // namespace

LambdaPage::LambdaPage(AppContext& context) : ParameterPage(context, WindowId::LambdaPage, 500)
{
    auto* sensors = new QHBoxLayout;
    sensors->addWidget(sensorFrame(this, "Frame1", 1, "Text5", "Label23", "Text6", "Label21"));
    sensors->addWidget(sensorFrame(this, "Frame2", 2, "Text7", "Label25", "Text8", "Label26"));
    for (int sensor : {1, 2})
        emulationFrame(this, sensor);

    auto* speed = new QGridLayout;
    addFieldRow(speed, 0, namedLabel(this, QStringLiteral("Label3"), QString()), parameterBox(this, "Text3"));
    speed->setColumnStretch(3, 1);

    auto* fields = new QVBoxLayout;
    fields->addLayout(sensors);
    fields->addLayout(speed);
    layOutPage(this, fields, {}, kControls);
    bindFields(kFields, kControls);
}

std::span<const Caption> LambdaPage::captions() const
{
    return kCaptions;
}

void LambdaPage::onActivate()
{
    for (QGroupBox* emulation : {findChild<QGroupBox*>("Emulation1"), findChild<QGroupBox*>("Emulation2")}) {
        emulation->setVisible(false);
        emulation->setEnabled(false);
    }
    ParameterPage::onActivate();
}
