#include "ui/params/level_page.h"

#include "link/frames.h"
#include "link/parameter_catalogue.h"
#include "link/parameter_rules.h"
#include "ui/common/segment_bar.h"
#include "ui/common/widgets.h"
#include "ui/params/page_layout.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QVBoxLayout>

namespace {

const Caption kCommonCaptions[] = {
    {kTitle,
     {"ORVANE - Parametri indicatore", "ORVANE - Indicator parameters", "ORVANE - Gaz gostergesi ayarlari"}},
    {kOfflineTitle,
     {"ORVANE - Parametri indicatore Non connesso", "ORVANE - Indicator parameters Not connected",
      "ORVANE - Gaz gostergesi ayarlari Beyne bagli degil"}},
    {"Command1", shared_texts::exit},
    {"Command2", page_texts::modify},
    {"Command3", {"Imposta come livello max", "Set as maximum value", "Imposta come max"}},
    {"Command4", {"Imposta come livello min", "Set as minimum value", "Imposta come min"}},
    {"Option1", page_texts::readMode},
    {"Option2", page_texts::writeMode},
    {"Label1", parameterRule(param::levelMinMv).name},
    {"Label2", parameterRule(param::levelMaxMv).name},
    {"Label19", {"Livello", "Level", "Degerleri"}},
    // the four-step gauge's reserve threshold, shown for that gauge only
    {"Label22", {"Soglia Ris->1/4", "Threshold Res->1/4", "Dolluhik Orani->1/4"}},
};

// What the gauge model changes: its name and the three thresholds' captions.
struct ModelTexts {
    LocalText name;
    std::array<LocalText, 3> thresholds;
};
const ModelTexts kModelTexts[] = {
    {{"DEVIATORE", "SWITCH", "SWITCH"},
     {{parameterRule(param::levelThresholdReserve).name, parameterRule(param::levelThresholdOneThird).name,
       parameterRule(param::levelThresholdTwoThirds).name}}},
    {{"TRX 310"},
     {{{"Soglia Ris->1/3", "Threshold Res->1/3", "Dolluhik Orani->1/3"},
       {"Soglia 1/2->2/3", "Threshold 1/3->2/3", "Dolluhik 1/3->2/3"},
       {"Soglia 2/3->3/3", "Threshold 2/3->3/3", "Dolluhik 2/3->3/3"}}}},
    {{"TRX 410"},
     {{{"Soglia 1/4->2/4", "Threshold 1/4->2/4", "Dolluhik 1/4->2/4"},
       {"Soglia 2/4->3/4", "Threshold 2/4->3/4", "Dolluhik 2/4->3/4"},
       {"Soglia 3/4->4/4", "Threshold 3/4->4/4", "Dolluhik 3/4->4/4"}}}},
    // a switch type no gauge has: no name, the thresholds as designed
    {{""}, {{{"SOGLIA Ris -> 1/3"}, {"SOGLIA 1/3 -> 2/3"}, {"SOGLIA 2/3 -> 3/3"}}}},
};

const ModelTexts& modelTexts(int changeoverSwitchType)
{
    const bool known = changeoverSwitchType >= 0 && changeoverSwitchType <= 2;
    return kModelTexts[known ? changeoverSwitchType : 3];
}

constexpr PageControls kControls{"Option1", "Option2", "Command2", "Command1"};
// a scroll bar's range: percent of the way from an empty to a full tank
constexpr int kPercentMax = 100;

} // namespace

LevelPage::LevelPage(AppContext& context)
    : ParameterPage(context, WindowId::LevelPage, 300),
      fields{{
          {PageField::Kind::Box, param::levelMinMv, {"Text1"}},
          {PageField::Kind::Box, param::levelMaxMv, {"Text2"}},
          {PageField::Kind::Box, param::levelThresholdReserve, {"Text3"}},
          {PageField::Kind::Box, param::levelThresholdOneThird, {"Text4"}},
          {PageField::Kind::Box, param::levelThresholdTwoThirds, {"Text5"}},
      }}
{
    QLabel* modelName = headingLabel(this, "Label23");
    QFont big = modelName->font();
    big.setPointSize(big.pointSize() * 3 / 2);
    modelName->setFont(big);

    // the two ends of the sensor's range, and the live reading that can become either
    const QString mV = QStringLiteral("mV");
    auto* ends = new QGridLayout;
    addFieldRow(ends, 0, namedLabel(this, "Label2", QString()), parameterBox(this, "Text2"), mV);
    addFieldRow(ends, 1, namedLabel(this, "Label1", QString()), parameterBox(this, "Text1"), mV);
    liveBox = valueBox(this, "Text6", 80);
    showLocked(liveBox, true); // a reading, never typed into
    addFieldRow(ends, 2, namedLabel(this, "Label19", QString()), liveBox, mV);
    setMaxButton = new QPushButton(this);
    setMaxButton->setObjectName(QStringLiteral("Command3"));
    setMinButton = new QPushButton(this);
    setMinButton->setObjectName(QStringLiteral("Command4"));
    ends->addWidget(setMaxButton, 0, 3);
    ends->addWidget(setMinButton, 1, 3);
    ends->setRowStretch(3, 1);

    // the thresholds side by side, the four-step gauge's fixed reserve first
    auto* levels = new QGridLayout;
    levels->setHorizontalSpacing(14);
    const auto boxWithPercent = [this](QLineEdit* box, QLabel* percent) {
        box->setFixedWidth(56);
        auto* row = new QHBoxLayout;
        row->addWidget(box);
        row->addWidget(percent ? percent : new QLabel(QStringLiteral("%"), this));
        row->addStretch(1);
        return row;
    };
    reserveCaption = namedLabel(this, "Label22", QString());
    reserveBox = valueBox(this, "Text7", 56, QString::number(kFourStepReservePercent));
    reservePercent = namedLabel(this, "Label16", QStringLiteral("%"));
    levels->addWidget(reserveCaption, 0, 0);
    levels->addLayout(boxWithPercent(reserveBox, reservePercent), 2, 0);
    const char* names[3][4] = {{"Label3", "Text3", "VScroll3", "Label13"},
                               {"Label4", "Text4", "VScroll2", "Label14"},
                               {"Label5", "Text5", "VScroll1", "Label17"}};
    for (int i = 0; i < 3; ++i) {
        Threshold& t = thresholds[static_cast<size_t>(i)];
        t.parameterId = param::levelThresholdReserve + i;
        t.box = parameterBox(this, names[i][1]);
        t.bar = new QScrollBar(Qt::Vertical, this);
        t.bar->setObjectName(QString::fromLatin1(names[i][2]));
        t.bar->setRange(0, kPercentMax);
        t.bar->setPageStep(10);
        t.bar->setInvertedAppearance(true); // a fuller tank higher up
        t.bar->setFixedHeight(140);
        t.mv = namedLabel(this, QString::fromLatin1(names[i][3]), QString());
        t.mv->setMinimumWidth(t.mv->fontMetrics().horizontalAdvance(QStringLiteral("-000000")));
        t.mv->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        auto* mvRow = new QHBoxLayout;
        mvRow->setSpacing(4);
        mvRow->addWidget(t.mv);
        mvRow->addWidget(new QLabel(mV, this));
        mvRow->addStretch(1);
        levels->addWidget(namedLabel(this, QString::fromLatin1(names[i][0]), QString()), 0, i + 1);
        levels->addWidget(t.bar, 1, i + 1, Qt::AlignHCenter);
        levels->addLayout(boxWithPercent(t.box, nullptr), 2, i + 1);
        levels->addLayout(mvRow, 3, i + 1);

        connect(t.bar, &QScrollBar::valueChanged, this, [this, i](int percent) {
            Threshold& moved = thresholds[static_cast<size_t>(i)];
            moved.box->setText(QString::number(percent));
            showThresholdMv(moved, percent);
            markEdited(moved.parameterId);
        });
        // a typed percentage moves the bar and its reading too, once it is one
        connect(t.box, &QLineEdit::textEdited, this, [this, i](const QString& text) {
            Threshold& typed = thresholds[static_cast<size_t>(i)];
            const BoxReading reading = readWholeNumber(text, {{}, 0, kPercentMax, true}, language());
            if (!reading.value) return;
            const QSignalBlocker quiet(typed.bar);
            typed.bar->setValue(static_cast<int>(*reading.value));
            showThresholdMv(typed, static_cast<int>(*reading.value));
        });
    }

    // the gauge: a rising staircase, reserve lamp lowest; the four-step gauge's first green lamp
    // stands between the reserve and the others
    auto* gaugeWidget = new QWidget(this);
    auto* staircase = new QGridLayout(gaugeWidget);
    reserveLamp = new Lamp(QStringLiteral("Shape1"), gaugeWidget);
    staircase->addWidget(reserveLamp, 4, 0);
    const int place[4][2] = {{2, 2}, {1, 3}, {0, 4}, {3, 1}}; // Shape2, Shape3, Shape4, Shape5
    for (int i = 0; i < 4; ++i) {
        greenLamps[static_cast<size_t>(i)] = new Lamp(QStringLiteral("Shape%1").arg(i + 2), gaugeWidget);
        staircase->addWidget(greenLamps[static_cast<size_t>(i)], place[i][0], place[i][1]);
    }

    auto* row = new QHBoxLayout;
    row->addLayout(ends);
    row->addSpacing(20);
    row->addLayout(levels);
    row->addSpacing(20);
    row->addWidget(gaugeWidget, 0, Qt::AlignBottom);
    auto* body = new QVBoxLayout;
    body->addWidget(modelName);
    body->addLayout(row);
    layOutPage(this, body, {}, kControls);

    setUpTimer(gaugeTimer, "Timer2", 300, &LevelPage::gaugeTick);
    connect(setMaxButton, &QPushButton::clicked, this, [this] { setEnd(param::levelMaxMv); });
    connect(setMinButton, &QPushButton::clicked, this, [this] { setEnd(param::levelMinMv); });
    connect(&ctx.dispatcher, &ReplyDispatcher::frameHandled, this, [this](int code) {
        if (isLoaded() && code == static_cast<int>(RequestKind::ReadStatus)) replySinceActivation = true;
    });
    bindFields(fields, kControls);
}

std::span<const Caption> LevelPage::captions() const
{
    // the texts common to every gauge, then the gauge model's own
    static const std::array<std::vector<Caption>, std::size(kModelTexts)> tables = [] {
        std::array<std::vector<Caption>, std::size(kModelTexts)> all;
        for (size_t m = 0; m < all.size(); ++m) {
            const ModelTexts& texts = kModelTexts[m];
            all[m].assign(std::begin(kCommonCaptions), std::end(kCommonCaptions));
            all[m].push_back({"Label23", texts.name});
            all[m].push_back({"Label3", texts.thresholds[0]});
            all[m].push_back({"Label4", texts.thresholds[1]});
            all[m].push_back({"Label5", texts.thresholds[2]});
        }
        return all;
    }();
    const int type = state.parameterValues[param::changeoverSwitchType];
    return tables[static_cast<size_t>(&modelTexts(type) - kModelTexts)];
}

void LevelPage::onLoad()
{
    ParameterPage::onLoad();
    gauge = GaugeLamps();
    replySinceActivation = false;
    liveShown = false;
    liveBox->clear();
    // nothing has been read yet: a zero here is not a reading
    if (state.offlineMode == 0) state.liveStatus.levelMv = 0;
    showLamps(); // all off
    updateSetButtons();
}

void LevelPage::onActivate()
{
    ParameterPage::onActivate();
    for (Threshold& t : thresholds)
        if (!isEdited(t.parameterId)) showThreshold(t, state.parameterValues[t.parameterId]);
    showModel();
    // the set buttons wait for a reading taken from now on
    replySinceActivation = false;
    liveShown = false;
    updateSetButtons();
    if (state.offlineMode == 0 && !writing()) gaugeTimer.start();
}

void LevelPage::showModel()
{
    const int type = state.parameterValues[param::changeoverSwitchType];
    const bool fourStep = gaugeModelOf(type) == GaugeModel::FourStep;
    for (QWidget* w : {static_cast<QWidget*>(greenLamps[3]), static_cast<QWidget*>(reservePercent),
                       static_cast<QWidget*>(reserveCaption), static_cast<QWidget*>(reserveBox)})
        w->setVisible(fourStep);
    applyCaptions();
    for (size_t i = 0; i < 3; ++i)
        fields[i + 2].rule.name = modelTexts(type).thresholds[i];
}

void LevelPage::showThreshold(Threshold& threshold, int percent)
{
    const QSignalBlocker quiet(threshold.bar);
    threshold.bar->setValue(percent);
    threshold.box->setText(QString::number(percent));
    showThresholdMv(threshold, percent);
}

void LevelPage::showThresholdMv(Threshold& threshold, int percent)
{
    threshold.mv->setText(QString::number(thresholdMv(percent, state.parameterValues[param::levelMinMv],
                                                      state.parameterValues[param::levelMaxMv])));
}

void LevelPage::setWriteMode(bool on)
{
    ParameterPage::setWriteMode(on);
    writeModeOn = on;
    for (Threshold& t : thresholds) {
        t.bar->setEnabled(on);
        // a bar moved and then given up follows its box back to what the ECU holds
        if (!on && !isEdited(t.parameterId)) showThreshold(t, state.parameterValues[t.parameterId]);
    }
    updateSetButtons();
}

void LevelPage::updateSetButtons()
{
    // only a reading the ECU sent since the page came up may become an end of the range
    const bool on = writeModeOn && !writing() && liveShown;
    setMaxButton->setEnabled(on);
    setMinButton->setEnabled(on);
}

void LevelPage::setEnd(int parameterId)
{
    const PageField& field = fields[parameterId == param::levelMinMv ? 0 : 1];
    const std::optional<long long> reading = readBox(liveBox, field.rule);
    if (!reading) return;
    writeOnly(parameterId, static_cast<int>(*reading));
}

void LevelPage::onWriteStarted()
{
    updateSetButtons();
    gaugeTimer.stop();
}

void LevelPage::onWriteComplete()
{
    for (Threshold& t : thresholds)
        showThreshold(t, state.parameterValues[t.parameterId]);
    if (state.offlineMode == 0) {
        gauge.restartBlink();
        gaugeTimer.start();
    }
}

void LevelPage::gaugeTick()
{
    gaugeTimer.stop();
    sendFrame(frames::readStatus());
    const int level = state.liveStatus.levelMv;
    liveBox->setText(QString::number(level));
    liveShown = replySinceActivation;
    updateSetButtons();
    gauge.update(level, gaugeModelOf(state.parameterValues[param::changeoverSwitchType]),
                 state.parameterValues[param::levelMinMv], state.parameterValues[param::levelMaxMv],
                 {state.parameterValues[param::levelThresholdReserve],
                  state.parameterValues[param::levelThresholdOneThird],
                  state.parameterValues[param::levelThresholdTwoThirds]});
    showLamps();
    gaugeTimer.start();
}

void LevelPage::showLamps()
{
    reserveLamp->setColour(gauge.reserveColour());
    for (int shape = 2; shape <= 5; ++shape)
        greenLamps[static_cast<size_t>(shape - 2)]->setColour(gauge.greenColour(shape));
}
