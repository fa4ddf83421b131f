#include "ui/calibration/calibration_live_view.h"

#include "link/input_rule.h"
#include "link/parameter_catalogue.h"
#include "ui/calibration/table_grid.h"
#include "ui/common/segment_bar.h"
#include "ui/common/widgets.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>

#include <algorithm>

namespace {

constexpr LocalText kSensor1{"Lambda1", "Ox Sens1", "Lambda1"};
constexpr LocalText kSensor2{"Lambda2", "Ox Sens2", "Lambda2"};
constexpr LocalText kKgbName{"KGB TARATURA", "KGB calibration", "KGB calibration"};

const Caption kCaptions[] = {
    {"Frame1", {"Lambda1 mV", "Oxygen sensor1 mV", "Lambda1"}},
    {"Frame2", {"Media L1 mV", "Avg OS1 mV", "Ortalama l1"}},
    {"Frame14", {"Lambda2 mV", "Oxygen sensor2 mV", "Lambda2"}},
    {"Frame15", {"Media L2 mV", "Avg OS2 mV", "Ortalama l2"}},
    {"Frame3", {"Tinj msec", "Tinj msec", "Inj Time"}},
    {"Frame4", {"Tinj Gas msec", "Tinj Gas msec", "Inj Time Gaz"}},
    {"Frame11", {"Tinj Benzina msec", "Tinj Petrol msec", "Inj Time Benzin"}},
    {"Frame5", {"RPM xmin", "RPM xmin", "RPM"}},
    {"Label22", {"x min"}},
    {"Frame6", {"Temperatura1 °C", "Temperature1 °C", "Derece1"}},
    {"Frame18", {"Temperatura2 °C", "Temperature2 °C", "Derece2"}},
    {"Frame7", {"Pressione1 mbar", "Pressure1 mbar", "Basinc1"}},
    {"Frame19", {"Pressione2 mbar", "Pressure2 mbar", "Basinc2"}},
    {"Frame10", {kKgbName}},
    {"Frame12", {"KGB IN USO", "KGB being used", "KGB"}},
    {"Label6", {"MAGRA", "LEAN", "LEAN"}},
    {"Label29", {"RICCA", "RICH", "RICH"}},
};

} // namespace

CalibrationLiveView::CalibrationLiveView(SharedState& state, QWidget* parent,
                                         std::function<void(const QString&, const QString&)> refuse)
    : QWidget(parent), state_(state), refuse_(std::move(refuse))
{
    setObjectName(QStringLiteral("LiveView"));
    const auto display = [this](const char* name, int width = 70) {
        QLineEdit* box = valueBox(this, QString::fromLatin1(name), width, QStringLiteral("0"));
        paintAsDisplay(box);
        coloured_.push_back(box);
        return box;
    };
    lambda1Box_ = display("Text1");
    lambda1Average_ = display("Text2");
    tinjBox_ = display("Text3");
    gasTinjBox_ = display("Text4");
    rpmBox_ = display("Text5");
    pressureBox_ = display("Text7");
    kgbBox_ = display("Text11", 50);
    petrolTinjBox_ = display("Text12");
    kgbInUseBox_ = display("Text14");
    pressure2Box_ = display("Text16");
    lambda2Average_ = display("Text17");
    lambda2Box_ = display("Text18");
    temperature2Box_ = display("Text21");
    temperature1Box_ = display("Text22");
    // the averages keep the colour they are written in
    std::erase(coloured_, gasTinjBox_);
    std::erase(coloured_, petrolTinjBox_);

    // typed, or stepped with the arrow and page keys (see eventFilter)
    kgbBox_->setReadOnly(false);
    kgbBox_->installEventFilter(this);
    connect(kgbBox_, &QLineEdit::returnPressed, this, &CalibrationLiveView::applyTypedKgb);
    kgbSpinner_ = new QScrollBar(Qt::Vertical, this);
    kgbSpinner_->setObjectName(QStringLiteral("VScroll1"));
    // the up arrow raises the coefficient: the bar runs from -255 at the top to 0 at the bottom
    kgbSpinner_->setRange(-kCellMax, 0);
    kgbSpinner_->setPageStep(1); // a click on the track is one step too: the ECU runs what it shows
    kgbSpinner_->setFixedSize(18, 44);
    connect(kgbSpinner_, &QScrollBar::valueChanged, this, [this](int value) {
        state_.calibrationKgb = -value;
        kgbBox_->setText(QString::number(state_.calibrationKgb));
    });

    auto* kgbFrame = namedFrame(this, "Frame10");
    auto* kgbLayout = new QHBoxLayout(kgbFrame);
    kgbLayout->setContentsMargins(6, 2, 6, 4);
    kgbLayout->addWidget(kgbBox_);
    kgbLayout->addWidget(kgbSpinner_);
    kgbLayout->addStretch(1);
    pressure2Frame_ = framedBox(this, "Frame19", pressure2Box_);
    // hidden without a second sensor, its place kept so that nothing below moves
    QSizePolicy keep = pressure2Frame_->sizePolicy();
    keep.setRetainSizeWhenHidden(true);
    pressure2Frame_->setSizePolicy(keep);

    const QList<QWidget*> frames = {
        framedBox(this, "Frame1", lambda1Box_),
        framedBox(this, "Frame2", lambda1Average_),
        framedBox(this, "Frame14", lambda2Box_),
        framedBox(this, "Frame15", lambda2Average_),
        framedBox(this, "Frame3", tinjBox_),
        framedBox(this, "Frame5", rpmBox_, namedLabel(this, QStringLiteral("Label22"), QString())),
        framedBox(this, "Frame4", gasTinjBox_),
        framedBox(this, "Frame11", petrolTinjBox_),
        framedBox(this, "Frame6", temperature1Box_),
        framedBox(this, "Frame18", temperature2Box_),
        framedBox(this, "Frame7", pressureBox_),
        pressure2Frame_,
        kgbFrame,
        framedBox(this, "Frame12", kgbInUseBox_),
    };
    auto* live = new QGridLayout(this);
    live->setContentsMargins(0, 0, 0, 0);
    live->setSpacing(4);
    for (int i = 0; i < frames.size(); ++i)
        live->addWidget(frames[i], i / 2, i % 2);

    barRow_ = new QWidget(parent);
    oxygenBar_ =
        new SegmentBar(QStringLiteral("Shape5"), kOxygenSegments, SegmentBar::Origin::Right, barRow_);
    sensorButton_ = new QPushButton(barRow_);
    sensorButton_->setObjectName(QStringLiteral("Command6"));
    // the caption changes with the sensor shown: the button keeps the width of the longest
    int widest = 0;
    for (const LocalText& t : {kSensor1, kSensor2})
        for (const Language l : {Language::Italian, Language::English, Language::Turkish})
            widest = std::max(widest, sensorButton_->fontMetrics().horizontalAdvance(t.in(l)));
    sensorButton_->setFixedWidth(widest + 24);
    connect(sensorButton_, &QPushButton::clicked, this, [this] {
        selectedOxygenSensor_ = selectedOxygenSensor_ == 1 ? 2 : 1;
        applyCaptions();
    });
    auto* bar = new QHBoxLayout(barRow_);
    bar->setContentsMargins(0, 0, 0, 0);
    bar->addWidget(namedLabel(barRow_, QStringLiteral("Label6"), QString()));
    bar->addWidget(oxygenBar_);
    bar->addWidget(namedLabel(barRow_, QStringLiteral("Label29"), QString()));
    bar->addWidget(sensorButton_);
    bar->addStretch(1);
}

std::span<const Caption> CalibrationLiveView::captions()
{
    return kCaptions;
}

void CalibrationLiveView::applyCaptions()
{
    const Language lang = languageOf(state_.languageIndex);
    sensorButton_->setText((selectedOxygenSensor_ == 1 ? kSensor1 : kSensor2).in(lang));
}

QString CalibrationLiveView::temperature1Caption() const
{
    return findChild<QGroupBox*>(QStringLiteral("Frame6"))->title();
}

void CalibrationLiveView::reset()
{
    fuelColours_ = FuelColours();
    smoothedPressure_ = 0;
    selectedOxygenSensor_ = 1;
    applyCaptions();
    const LiveStatus& live = state_.liveStatus;
    lambdaAverage1_.reset();
    lambdaAverage2_.reset();
    lambdaAverage1_.seed(live.lambda1Mv);
    lambdaAverage2_.seed(live.lambda2Mv);
    for (QLineEdit* box : findChildren<QLineEdit*>())
        box->setText(QStringLiteral("0"));
    lambda1Average_->setText(lambdaAverage1_.shown());
    lambda2Average_->setText(lambdaAverage2_.shown());
    for (QLineEdit* box : coloured_)
        setDisplayColour(box, fuelColours_.colour());
    for (int i = 0; i < kOxygenSegments; ++i)
        oxygenBar_->setColour(i, oxygenBaseColour(i));
}

void CalibrationLiveView::show()
{
    const LiveStatus& live = state_.liveStatus;
    lambda1Box_->setText(QString::number(live.lambda1Mv));
    tinjBox_->setText(QString::number(live.calibrationTinj));
    rpmBox_->setText(QString::number(live.rpm));
    pressureBox_->setText(QString::number(live.pressureMbar));
    kgbInUseBox_->setText(QString::number(live.kgbInUse));
    lambda2Box_->setText(QString::number(live.lambda2Mv));
    temperature2Box_->setText(QString::number(temperature2Celsius(live.temperature2Raw)));
    pressure2Box_->setText(QString::number(live.pressure2Mbar));
    temperature1Box_->setText(QString::number(live.temperature1));
    smoothedPressure_ = smoothPressure(live.pressureMbar, smoothedPressure_);

    tinjAverage_.add(live.calibrationTinj);
    lambdaAverage1_.add(live.lambda1Mv);
    lambdaAverage2_.add(live.lambda2Mv);
    lambda1Average_->setText(lambdaAverage1_.shown());
    lambda2Average_->setText(lambdaAverage2_.shown());

    fuelColours_.update(live.calibrationState, live.onPetrol);
    for (QLineEdit* box : coloured_)
        setDisplayColour(box, fuelColours_.colour());
    if (fuelColours_.updatesAverage())
        (fuelColours_.onPetrol() ? petrolTinjBox_ : gasTinjBox_)
            ->setText(QString::number(tinjAverage_.averagedTinj));

    const bool first = selectedOxygenSensor_ == 1;
    oxygenBar_->setColours(
        oxygenBarColours(first ? live.lambda1Mv : live.lambda2Mv,
                         state_.parameterValues[first ? param::lambda1SensorType : param::lambda2SensorType],
                         first ? state_.lambda1FullScale : state_.lambda2FullScale,
                         first ? state_.lambda1Step : state_.lambda2Step));
}

void CalibrationLiveView::takeKgb(int kgb)
{
    state_.calibrationKgb = std::clamp(kgb, 0, kCellMax);
    const QSignalBlocker quiet(kgbSpinner_);
    kgbSpinner_->setValue(-state_.calibrationKgb);
    kgbBox_->setText(QString::number(state_.calibrationKgb));
}

void CalibrationLiveView::setKgbEditable(bool editable)
{
    kgbSpinner_->setEnabled(editable);
    kgbBox_->setEnabled(editable);
}

void CalibrationLiveView::setSensorChoiceEnabled(bool enabled)
{
    sensorButton_->setEnabled(enabled);
}

void CalibrationLiveView::setPressure2Shown(bool shown)
{
    pressure2Frame_->setVisible(shown);
}

BoxReading CalibrationLiveView::typedKgb() const
{
    FieldRule rule;
    rule.name = kKgbName;
    rule.max = kCellMax;
    return readWholeNumber(kgbBox_->text(), rule, languageOf(state_.languageIndex));
}

void CalibrationLiveView::applyTypedKgb()
{
    const BoxReading reading = typedKgb();
    if (!reading.value) {
        kgbBox_->setText(QString::number(state_.calibrationKgb));
        refuse_(reading.refusalTitle, reading.refusal);
        return;
    }
    kgbSpinner_->setValue(-static_cast<int>(*reading.value));
    kgbBox_->selectAll();
}

void CalibrationLiveView::stepKgb(int by)
{
    kgbSpinner_->setValue(-std::clamp(state_.calibrationKgb + by, 0, kCellMax));
    kgbBox_->selectAll();
}

bool CalibrationLiveView::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != kgbBox_) return false;
    if (event->type() == QEvent::FocusOut) {
        // leaving the box takes a number as Enter does; anything else quietly gives way to the value in use
        if (const BoxReading reading = typedKgb(); reading.value)
            kgbSpinner_->setValue(-static_cast<int>(*reading.value));
        else
            kgbBox_->setText(QString::number(state_.calibrationKgb));
        return false;
    }
    if (event->type() != QEvent::KeyPress) return false;
    const auto* key = static_cast<QKeyEvent*>(event);
    switch (key->key()) {
    case Qt::Key_Up:
        stepKgb(1);
        return true;
    case Qt::Key_Down:
        stepKgb(-1);
        return true;
    case Qt::Key_PageUp:
        stepKgb(10);
        return true;
    case Qt::Key_PageDown:
        stepKgb(-10);
        return true;
    case Qt::Key_Escape:
        kgbBox_->setText(QString::number(state_.calibrationKgb));
        return true;
    default:
        return false;
    }
}

std::vector<int> CalibrationLiveView::recordRow() const
{
    const LiveStatus& live = state_.liveStatus;
    return {live.lambda1Mv,
            live.lambda2Mv,
            lambdaAverage1_.shown().toInt(),
            lambdaAverage2_.shown().toInt(),
            live.rpm,
            live.calibrationTinj,
            gasTinjBox_->text().toInt(),
            petrolTinjBox_->text().toInt(),
            live.pressureMbar,
            live.pressure2Mbar,
            live.temperature1,
            temperature2Celsius(live.temperature2Raw),
            state_.calibrationKgb,
            live.kgbInUse,
            live.calibrationState};
}
