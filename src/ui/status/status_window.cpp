#include "ui/status/status_window.h"

#include "link/frames.h"
#include "link/link_messages.h"
#include "link/parameter_catalogue.h"
#include "ui/common/datalog_recorder.h"
#include "ui/common/navigator.h"
#include "ui/common/segment_bar.h"
#include "ui/common/strip_chart.h"
#include "ui/common/widgets.h"
#include "ui/status/status_chart.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

namespace {

constexpr LocalText kLean{"MAGRA", "LEAN", "DUSUK"};
constexpr LocalText kRich{"RICCA", "RICH", "YUKSEK"};

const Caption kCaptions[] = {
    {kTitle,
     {"ORVANE - Visualizza stato vettura", "ORVANE - Display status of vehicle ",
      "ORVANE - Arabanin genel durumu"}},
    {kOfflineTitle,
     {"ORVANE - Visualizza stato vettura Non Connesso", "ORVANE - Display status of vehicle Not connected",
      "ORVANE - Arabanin genel durumu Beyne bagli degil"}},
    {"Command1", shared_texts::exit},
    {"Command2", {"Commuta", "Switch", "Calisma sekli degistir"}},
    {"Label10", {"x min", "x min", "x dk"}},
    {"Label11", {"Benzina", "Petrol", "Benzin"}},
    {"Label12", {"Gas", "Gas", "Gaz"}},
    {"Frame1", {"Tempo di iniezione msec", "Injection time msec", "Injection time msec"}},
    {"Label28", kLean},
    {"Label6", kLean},
    {"Label29", kRich},
    {"Label7", kRich},
    {"Frame3", {"Temperatura °C", "Temperature °C", "Derece"}},
    {"Frame4", {"Livello mV", "Level mV", "Sevive"}},
    {"Frame5", {"Media mV", "Avg mV", "Ortalama lambda"}},
    {"Frame6", {"KGBCOR"}},
    {"Frame7", {"Pressione mbar", "Pressure mbar", "Basinc"}},
    {"Frame9", {"KGBTAB"}},
    {"Frame10", {"Temperatura2 °C", "Temperature2 °C", "Derece2"}},
    {"Frame11", {"Pressione2 mbar", "Pressure2 mbar", "Basinc2"}},
    {"Frame12", {"Media2 mV", "Avg2 mV", "Ortalama lambda2"}},
    {"ChartToggle", {"Grafico ultimi 60 s", "Chart of the last 60 s", "Son 60 sn grafik"}},
};

// Frame2 and Frame8 by the sensor's type
constexpr LocalText kLambda1Frame[4] = {
    {"Lambda - 0-5V Diritta mV", "OXYGEN sensor - 0-5V Straight mV", "Lambda - 0-5V Duz"},
    {"Lambda - 5-0V Invertita mV", "OXYGEN sensor - 5-0V Inverted mV", "Lambda - 5-0V Ters"},
    {"Lambda - 0-1V Diritta mV", "OXYGEN sensor - 0-1V Straight mV", "Lambda - 0-1V Duz"},
    {"Lambda - 1-0V Invertita mV", "OXYGEN sensor - 1-0V Inverted mV", "Lambda - 1-0V Ters"},
};
constexpr LocalText kLambda2Frame[4] = {
    {"Lambda2 - 0-5V Diritta mV", "OXYGEN sensor2 - 0-5V Straight mV", "Lambda2 - 0-5V Duz"},
    {"Lambda2 - 5-0V Invertita mV", "OXYGEN sensor2 - 5-0V Inverted mV", "Lambda2 - 5-0V Ters"},
    {"Lambda2 - 0-1V Diritta mV", "OXYGEN sensor2 - 0-1V Straight mV", "Lambda2 - 0-1V Duz"},
    {"Lambda2 - 1-0V Invertita mV", "OXYGEN sensor2 - 1-0V Inverted mV", "Lambda2 - 1-0V Ters"},
};
constexpr LocalText kLostLink{"COMUNICAZIONE INTERROTTA - CHIUDO FINESTRA DI VISUALIZZAZIONE",
                              "COMMUNICATION LOST - WINDOW OF VISUALIZATION WILL BE CLOSED",
                              "Persa comunicazione"};

// The scale under a bar: labels spread from its left end to its right end.
QWidget* scale(QWidget* parent, const QStringList& marks)
{
    auto* row = new QWidget(parent);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    for (int i = 0; i < marks.size(); ++i) {
        layout->addWidget(new QLabel(marks[i], row));
        if (i + 1 < marks.size()) layout->addStretch(1);
    }
    return row;
}

} // namespace

StatusWindow::StatusWindow(AppContext& context) : Form(context, WindowId::Status)
{
    stateBox = valueBox(this, "Text1", 460, "0");
    stateBox->setAlignment(Qt::AlignLeft);
    stateBox->setText(QString());
    lambda1Average = valueBox(this, "Text2", 60, "0");
    lambda1Box = valueBox(this, "Text3", 60, "0");
    levelBox = valueBox(this, "Text4", 60, "0");
    for (int i = 0; i < 16; ++i)
        tinjBoxes[static_cast<size_t>(i)] = valueBox(this, QStringLiteral("Text5_%1").arg(i), 52, "0");
    rpmBox = valueBox(this, "Text6", 110, "0");
    QFont large = rpmBox->font();
    large.setPointSize(large.pointSize() * 2);
    large.setBold(true);
    rpmBox->setFont(large);
    kgbTabBox = valueBox(this, "Text7", 60, "0");
    temperature1Box = valueBox(this, "Text8", 60, "0");
    kgbCorBox = valueBox(this, "Text9", 60, "0");
    pressureBox = valueBox(this, "Text10", 60, "0");
    temperature2Box = valueBox(this, "Text11", 60, "0");
    pressure2Box = valueBox(this, "Text12", 60, "0");
    lambda2Box = valueBox(this, "Text13", 60, "0");
    lambda2Average = valueBox(this, "Text14", 60, "0");

    lambda1Bar = new SegmentBar(QStringLiteral("Shape1"), kOxygenSegments, SegmentBar::Origin::Right, this);
    levelBar = new SegmentBar(QStringLiteral("Shape2"), kLevelSegments, SegmentBar::Origin::Left, this);
    pressureBar = new SegmentBar(QStringLiteral("Shape3"), kPressureSegments, SegmentBar::Origin::Left, this);
    pressure2Bar =
        new SegmentBar(QStringLiteral("Shape4"), kPressureSegments, SegmentBar::Origin::Left, this);
    lambda2Bar = new SegmentBar(QStringLiteral("Shape5"), kOxygenSegments, SegmentBar::Origin::Right, this);
    petrolLamp = new Lamp(QStringLiteral("Shape6"), this);
    gasLamp = new Lamp(QStringLiteral("Shape7"), this);
    exitButton = new QPushButton(this);
    exitButton->setObjectName(QStringLiteral("Command1"));
    changeoverButton = new QPushButton(this);
    changeoverButton->setObjectName(QStringLiteral("Command2"));
    changeoverButton->setEnabled(false);
    chart = makeStatusChart(this);
    chart->setObjectName(QStringLiteral("StripChart"));
    chart->setMinimumHeight(180);
    chartToggle = new QCheckBox(this);
    chartToggle->setObjectName(QStringLiteral("ChartToggle"));
    // a row per status reply, as the next poll tick shows it
    recorder = new DatalogRecorder(context, *this, DatalogSource::Status,
                                   {static_cast<int>(RequestKind::ReadStatus)},
                                   [this](std::vector<int>& row) { values.row(state.liveStatus, row); });

    injectionFrame = namedFrame(this, "Frame1");
    lambda1Frame = namedFrame(this, "Frame2");
    temperatureFrame = namedFrame(this, "Frame3");
    levelFrame = namedFrame(this, "Frame4");
    lambda1AverageFrame = namedFrame(lambda1Frame, "Frame5");
    kgbCorFrame = namedFrame(this, "Frame6");
    pressureFrame = namedFrame(this, "Frame7");
    lambda2Frame = namedFrame(this, "Frame8");
    kgbTabFrame = namedFrame(this, "Frame9");
    temperature2Frame = namedFrame(this, "Frame10");
    pressure2Frame = namedFrame(this, "Frame11");
    lambda2AverageFrame = namedFrame(lambda2Frame, "Frame12");
    rpmUnit = namedLabel(this, "Label10", QString());
    petrolLabel = namedLabel(injectionFrame, "Label11", QString());
    gasLabel = namedLabel(injectionFrame, "Label12", QString());
    lean1Label = namedLabel(lambda1Frame, "Label28", QString());
    rich1Label = namedLabel(lambda1Frame, "Label29", QString());
    lean2Label = namedLabel(lambda2Frame, "Label6", QString());
    rich2Label = namedLabel(lambda2Frame, "Label7", QString());

    // injection times: a row of petrol boxes over a row of gas boxes
    auto* injection = new QGridLayout(injectionFrame);
    injection->addWidget(petrolLabel, 0, 0, 1, 8);
    injection->addWidget(gasLabel, 2, 0, 1, 8);
    for (int i = 0; i < 8; ++i) {
        injection->addWidget(tinjBoxes[static_cast<size_t>(i)], 1, i);
        injection->addWidget(tinjBoxes[static_cast<size_t>(i + 8)], 3, i);
    }

    auto oxygenGroup = [](QGroupBox* group, QLineEdit* value, QGroupBox* averageFrame, QLineEdit* average,
                          QLabel* lean, SegmentBar* bar, QLabel* rich) {
        auto* inner = new QHBoxLayout(averageFrame);
        inner->addWidget(average);
        auto* top = new QHBoxLayout;
        top->addWidget(value);
        top->addWidget(averageFrame);
        top->addStretch(1);
        auto* barRow = new QHBoxLayout;
        barRow->addWidget(lean);
        barRow->addWidget(bar);
        barRow->addWidget(rich);
        barRow->addStretch(1);
        auto* layout = new QVBoxLayout(group);
        layout->addLayout(top);
        layout->addLayout(barRow);
    };
    oxygenGroup(lambda1Frame, lambda1Box, lambda1AverageFrame, lambda1Average, lean1Label, lambda1Bar,
                rich1Label);
    oxygenGroup(lambda2Frame, lambda2Box, lambda2AverageFrame, lambda2Average, lean2Label, lambda2Bar,
                rich2Label);

    auto pressureGroup = [this](QGroupBox* group, QLineEdit* value, SegmentBar* bar) {
        // the value beside its bar, not above it: the window keeps room for the chart
        auto* layout = new QGridLayout(group);
        layout->addWidget(value, 0, 0);
        layout->addWidget(bar, 0, 1);
        layout->addWidget(scale(group, {"0", "1000", "2000", "3000"}), 1, 1);
    };
    pressureGroup(pressureFrame, pressureBox, pressureBar);
    pressureGroup(pressure2Frame, pressure2Box, pressure2Bar);

    auto single = [](QGroupBox* group, QWidget* content) { (new QHBoxLayout(group))->addWidget(content); };
    single(temperatureFrame, temperature1Box);
    single(temperature2Frame, temperature2Box);
    single(kgbTabFrame, kgbTabBox);
    single(kgbCorFrame, kgbCorBox);
    auto* level = new QVBoxLayout(levelFrame);
    level->addWidget(levelBar);
    level->addWidget(scale(levelFrame, {"0", "1/4", "2/4", "3/4", "4/4"}));

    auto* grid = new QGridLayout;
    grid->addWidget(lambda1Frame, 0, 0);
    grid->addWidget(lambda2Frame, 0, 1);
    grid->addWidget(pressureFrame, 1, 0);
    grid->addWidget(pressure2Frame, 1, 1);
    auto* smalls = new QHBoxLayout;
    for (QWidget* w : {static_cast<QWidget*>(temperatureFrame), static_cast<QWidget*>(temperature2Frame),
                       static_cast<QWidget*>(kgbTabFrame), static_cast<QWidget*>(kgbCorFrame)})
        smalls->addWidget(w);
    smalls->addWidget(levelFrame);
    smalls->addWidget(levelBox);
    auto* rpmRow = new QHBoxLayout;
    rpmRow->addWidget(rpmBox);
    rpmRow->addWidget(rpmUnit);
    rpmRow->addWidget(recorder->openButton()); // in the free space: nothing moves when it shows
    rpmRow->addStretch(1);
    rpmRow->addWidget(chartToggle);
    rpmRow->addWidget(petrolLamp);
    rpmRow->addWidget(gasLamp);
    rpmRow->addWidget(changeoverButton);
    rpmRow->addWidget(recorder->button());
    rpmRow->addWidget(recorder->markerButton());
    rpmRow->addWidget(exitButton);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(injectionFrame);
    layout->addLayout(grid);
    layout->addLayout(smalls);
    layout->addLayout(rpmRow);
    layout->addWidget(stateBox);
    layout->addWidget(chart, 1);

    setUpTimer(pollTimer, "Timer1", 300, &StatusWindow::pollTick);
    setUpTimer(barTimer, "Timer2", 400, &StatusWindow::barTick);
    setUpTimer(supervisionTimer, "Timer3", 2000, &StatusWindow::supervisionTick);
    connect(exitButton, &QPushButton::clicked, this, &Form::closeForm);
    connect(changeoverButton, &QPushButton::clicked, this, &StatusWindow::pressChangeover);
    // an acknowledgement awaited after "Commuta" holds the status replies back, not the ECU
    connect(&ctx.dispatcher, &ReplyDispatcher::replyReceived, this, [this] { linkAlive = true; });
    connect(&ctx.dispatcher, &ReplyDispatcher::frameHandled, this, [this](int code) {
        if (code == 3) statusSinceTick = true;
    });
    connect(chartToggle, &QCheckBox::toggled, this, [this](bool on) {
        chart->setVisible(on);
        // the window takes the chart's height and gives it back
        adjustSize();
    });
}

void StatusWindow::onLoad()
{
    values.restartAverages();
    lamps = FuelLamps();
    linkAlive = false;
    // made once and kept: every box as a first load leaves it, not the last visit's values
    for (QLineEdit* b : findChildren<QLineEdit*>()) {
        b->setText(QStringLiteral("0"));
        b->setEnabled(true);
    }
    stateBox->setText(QString());
    for (QLineEdit* b : tinjBoxes)
        b->setText(QStringLiteral(" 0"));
    petrolLamp->setColour(Qt::gray);
    gasLamp->setColour(Qt::gray);
    paintBaseColours();
    pressure2Frame->setVisible(state.parameterValues[param::pressureSensorType] != 0);
    showSensorTypes();
    chart->clear();
    chart->setLanguage(language());
    chart->setAxisTop(MillivoltAxis, std::max(state.lambda1FullScale, state.lambda2FullScale));
    chartToggle->setChecked(true);
    statusSinceTick = false;
    chartClock.start();
}

void StatusWindow::paintBaseColours()
{
    for (int i = 0; i < kOxygenSegments; ++i) {
        lambda1Bar->setColour(i, oxygenBaseColour(i));
        lambda2Bar->setColour(i, oxygenBaseColour(i));
    }
    for (int i = 0; i < kPressureSegments; ++i) {
        pressureBar->setColour(i, colours::darkRed);
        pressure2Bar->setColour(i, colours::darkRed);
    }
    for (int i = 0; i < kLevelSegments; ++i)
        levelBar->setColour(i, levelColour(i, false));
}

void StatusWindow::onLanguageChanged()
{
    showSensorTypes();
    chart->setLanguage(language());
}

std::span<const Caption> StatusWindow::captions() const
{
    return kCaptions;
}

void StatusWindow::showSensorTypes()
{
    changeoverButton->setEnabled(state.offlineMode == 0);
    const int type1 = state.parameterValues[param::lambda1SensorType];
    const int type2 = state.parameterValues[param::lambda2SensorType];
    if (type1 >= 0 && type1 <= 3) lambda1Frame->setTitle(text(kLambda1Frame[type1]));
    if (type2 >= 0 && type2 <= 3) lambda2Frame->setTitle(text(kLambda2Frame[type2]));
}

void StatusWindow::onActivate()
{
    if (state.offlineMode == 1) {
        stopTimers();
        showOffline();
        return;
    }
    const LiveStatus& live = state.liveStatus;
    values.seed(live);
    lambda1Average->setText(values.lambda1Average());
    lambda2Average->setText(values.lambda2Average());
    levelBox->setText(QString::number(values.level()));
    for (QLineEdit* b : tinjBoxes) {
        b->setEnabled(true);
        b->setVisible(true);
    }
    // supervision runs whenever the window polls
    pollTimer.start();
    barTimer.start();
    supervisionTimer.start();
}

void StatusWindow::showOffline()
{
    for (SegmentBar* bar : {lambda1Bar, lambda2Bar}) {
        bar->setColour(18, colours::yellow);
        bar->setColour(19, colours::yellow);
    }
    levelBar->setColour(0, colours::yellow);
    for (SegmentBar* bar : {pressureBar, pressure2Bar}) {
        bar->setColour(0, colours::yellow);
        bar->setColour(1, colours::yellow);
    }
    petrolLamp->setColour(colours::yellow);
    gasLamp->setColour(colours::yellow);
    changeoverButton->setEnabled(false);
}

void StatusWindow::pressChangeover()
{
    sendFrame(frames::fuelChangeover());
    state.changeoverAcknowledged = 0;
}

void StatusWindow::show(QLineEdit* box, const BoxView& view)
{
    box->setText(view.text);
    box->setEnabled(view.enabled);
}

void StatusWindow::pollTick()
{
    pollTimer.stop();
    sendFrame(state.changeoverAcknowledged == 0 ? frames::fuelChangeover() : frames::readStatus());
    const LiveStatus& live = state.liveStatus;

    std::array<bool, kCylinderCount> tinjEnabled{};
    for (int i = 0; i < kCylinderCount; ++i)
        tinjEnabled[static_cast<size_t>(i)] = tinjBoxes[static_cast<size_t>(i)]->isEnabled();
    const StatusValues::Views views = values.tick(live, rpmBox->isEnabled(), tinjEnabled);

    kgbTabBox->setText(QString::number(live.kgbTab));
    kgbCorBox->setText(QString::number(live.kgbCor));
    show(lambda1Box, views.lambda1);
    show(lambda2Box, views.lambda2);
    lambda1Average->setText(values.lambda1Average());
    lambda2Average->setText(values.lambda2Average());
    levelBox->setText(QString::number(values.level()));

    for (int i = 0; i < 8; ++i) {
        QLineEdit* petrol = tinjBoxes[static_cast<size_t>(i)];
        QLineEdit* gas = tinjBoxes[static_cast<size_t>(i + 8)];
        const int tinj = live.petrolTinj[i + 1];
        const BoxView& view = views.tinj[static_cast<size_t>(i)];
        petrol->setEnabled(view.enabled);
        gas->setEnabled(view.enabled);
        if (view.text == QLatin1String("NC")) {
            petrol->setText(view.text);
            gas->setText(view.text);
        } else {
            petrol->setText(QString::number(tinj));
            gas->setText(QString::number(gasInjectionTime(tinj, live.kgbCor)));
        }
    }

    show(rpmBox, views.rpm);
    show(temperature1Box, views.temperature1);
    show(temperature2Box, views.temperature2);
    show(pressureBox, views.pressure);
    show(pressure2Box, views.pressure2);

    lamps.update(live.ecuState, live.onPetrol);
    petrolLamp->setColour(lamps.petrol());
    gasLamp->setColour(lamps.gas());
    stateBox->setText(ecuStateMessage(live.ecuState, state.languageIndex,
                                      state.parameterValues[param::changeoverTemperature],
                                      state.parameterValues[param::changeoverRpm]));
    if (statusSinceTick) {
        statusSinceTick = false;
        const double sample[kStatusChannels] = {shownValue(lambda1Box),   shownValue(lambda2Box),
                                                shownValue(rpmBox),       shownValue(tinjBoxes[0]),
                                                shownValue(tinjBoxes[8]), shownValue(pressureBox)};
        chart->add(chartClock.elapsed(), sample);
    }
    pollTimer.start();
}

void StatusWindow::barTick()
{
    barTimer.stop();
    const LiveStatus& live = state.liveStatus;
    const auto level = levelSegments(values.level(), state.parameterValues[param::levelMinMv],
                                     state.parameterValues[param::levelMaxMv], state.levelStep);
    for (int i = 0; i < kLevelSegments; ++i)
        levelBar->setColour(i, levelColour(i, level[static_cast<size_t>(i)]));

    lambda1Bar->setColours(oxygenBarColours(live.lambda1Mv, state.parameterValues[param::lambda1SensorType],
                                            state.lambda1FullScale, state.lambda1Step));
    lambda2Bar->setColours(oxygenBarColours(live.lambda2Mv, state.parameterValues[param::lambda2SensorType],
                                            state.lambda2FullScale, state.lambda2Step));

    const auto paintPressure = [](SegmentBar* bar, int mbar) {
        const auto lit = pressureSegments(mbar);
        for (int i = 0; i < kPressureSegments; ++i)
            bar->setColour(i, lit[static_cast<size_t>(i)] ? colours::yellow : colours::darkRed);
    };
    paintPressure(pressureBar, live.pressureMbar);
    if (state.parameterValues[param::pressureSensorType] == 1)
        paintPressure(pressure2Bar, live.pressure2Mbar);
    barTimer.start();
}

void StatusWindow::supervisionTick()
{
    supervisionTimer.stop();
    if (state.statusReplySeen == 1 || linkAlive) {
        state.statusReplySeen = 0;
        linkAlive = false;
        state.lostLinkCount = 0;
        supervisionTimer.start();
        return;
    }
    ++state.lostLinkCount;
    stateBox->setText(text(kLostLink));
    if (state.lostLinkCount < 2) {
        supervisionTimer.start();
        return;
    }
    stopTimers();
    closeForm();
    // the port went away: the message that says so stays
    if (linkGone()) return;
    // the state box goes with the window: say it where it stays
    const LinkMessage m = linkProblemMessage(language(), ctx.link.portName(), LinkProblem::NoAnswer);
    ctx.showMessage(m.title, m.text);
}
