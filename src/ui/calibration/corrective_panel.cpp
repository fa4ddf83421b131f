#include "ui/calibration/corrective_panel.h"

#include "link/parameter_catalogue.h"
#include "ui/calibration/corrective_rules.h"
#include "ui/calibration/table_grid.h"
#include "ui/common/widgets.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QScrollBar>

#include <algorithm>

namespace {

enum FrameIndex { kTemperature, kLambda, kPressure };

constexpr LocalText kFrameTexts[3] = {
    {"Correttivo Temperatura", "Temperature Corrective Value", "Derece"},
    {"Correttivo Lambda", "Oxygen sensor Corrective Value", "Lambda"},
    {"Correttivo Pressione", "Pressure Corrective Value", "Basinc"},
};
constexpr const char* kFrameNames[3] = {"Frame17", "Frame20", "Frame21"};
constexpr LocalText kCorrectiveValue{"Valore correzione", "Corrective value", "Valore correzione"};

struct Field {
    const char* box;
    int id;
    int spinnerMax; // 0: no spinner
    const char* spinner;
    const char* label;
    LocalText labelText;
    FrameIndex frame;
};

// in the order store writes them
constexpr Field kFields[7] = {
    {"Text23",
     param::pressureVariation,
     5,
     "VScroll4",
     "Label15",
     {"Variazione", "Variation", "Damping factor"},
     kPressure},
    {"Text20",
     param::lambdaMaxVariation,
     8,
     "VScroll2",
     "Label14",
     {"Massima variazione", "Maximum variation", "Maximum variation"},
     kLambda},
    {"Text19",
     param::temperatureVariation,
     20,
     "VScroll3",
     "Label13",
     {"Variazione", "Variation", "Variation each 10°"},
     kTemperature},
    {"Text25",
     param::pressureCorrectionRpmThreshold,
     0,
     nullptr,
     "Label3",
     {"Soglia giri inserimento", "RPM threshold to activate", "Soglia giri inserimento"},
     kPressure},
    {"Text24",
     param::lambdaCorrectionRpmThreshold,
     0,
     nullptr,
     "Label2",
     {"Soglia giri inserimento", "RPM threshold to activate", "Soglia giri inserimento"},
     kLambda},
    {"Text10",
     param::pressureInterval,
     0,
     nullptr,
     "Label7",
     {"Intervallo pressione", "Pressure range", "Intervallo pressione"},
     kPressure},
    {"Text26",
     param::temperatureInterval,
     0,
     nullptr,
     "Label11",
     {"Intervallo temperatura", "Temperature range", "Intervallo temperatura "},
     kTemperature},
};

// how each frame lists its boxes, top to bottom
constexpr int kFrameRows[3][3] = {{2, 6, -1}, {1, 4, -1}, {0, 5, 3}};

const std::vector<Caption>& allCaptions()
{
    static const std::vector<Caption> captions = [] {
        std::vector<Caption> list;
        for (int f = 0; f < 3; ++f)
            list.push_back({kFrameNames[f], kFrameTexts[f]});
        for (const Field& field : kFields)
            list.push_back({field.label, field.labelText});
        list.push_back({"Label8", kCorrectiveValue});
        list.push_back({"Label12", kCorrectiveValue});
        return list;
    }();
    return captions;
}

QLineEdit* displayBox(QWidget* parent, const char* name)
{
    QLineEdit* box = valueBox(parent, QString::fromLatin1(name), 52, QStringLiteral("0"));
    paintAsDisplay(box);
    return box;
}

} // namespace

CorrectivePanel::CorrectivePanel(QWidget* parent) : QWidget(parent)
{
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    std::array<QGridLayout*, 3> grids{};
    for (int f = 0; f < 3; ++f) {
        frames_[static_cast<size_t>(f)] = new QGroupBox(this);
        frames_[static_cast<size_t>(f)]->setObjectName(QString::fromLatin1(kFrameNames[f]));
        grids[static_cast<size_t>(f)] = new QGridLayout(frames_[static_cast<size_t>(f)]);
        grids[static_cast<size_t>(f)]->setContentsMargins(6, 2, 6, 4);
        grids[static_cast<size_t>(f)]->setVerticalSpacing(2);
        row->addWidget(frames_[static_cast<size_t>(f)]);
    }
    for (int f = 0; f < 3; ++f) {
        QGroupBox* frame = frames_[static_cast<size_t>(f)];
        QGridLayout* grid = grids[static_cast<size_t>(f)];
        int line = 0;
        for (const int index : kFrameRows[f]) {
            if (index < 0) continue;
            const Field& field = kFields[index];
            Edited& e = edited_[static_cast<size_t>(index)];
            e.id = field.id;
            e.box = displayBox(frame, field.box);
            connect(e.box, &QLineEdit::textEdited, this,
                    [this, index] { edited_[static_cast<size_t>(index)].changed = true; });
            grid->addWidget(namedLabel(frame, QString::fromLatin1(field.label), QString()), line, 0);
            grid->addWidget(e.box, line, 1);
            if (field.spinner) {
                e.spinner = new QScrollBar(Qt::Vertical, frame);
                e.spinner->setObjectName(QString::fromLatin1(field.spinner));
                // the up arrow adds one: the bar runs from -max at the top to 0 at the bottom
                e.spinner->setRange(-field.spinnerMax, 0);
                e.spinner->setPageStep(1);
                e.spinner->setFixedSize(16, 26);
                QLineEdit* box = e.box;
                connect(e.spinner, &QScrollBar::valueChanged, this, [this, box, index](int value) {
                    box->setText(QString::number(-value));
                    edited_[static_cast<size_t>(index)].changed = true;
                });
                grid->addWidget(e.spinner, line, 2);
            }
            ++line;
        }
        if (f == kPressure || f == kTemperature) {
            QLineEdit* computed = displayBox(frame, f == kPressure ? "Text13" : "Text27");
            (f == kPressure ? pressureCorrectiveBox : temperatureCorrectiveBox) = computed;
            grid->addWidget(
                namedLabel(frame, QString::fromLatin1(f == kPressure ? "Label8" : "Label12"), QString()),
                line, 0);
            grid->addWidget(computed, line, 1);
        }
        grid->setColumnStretch(0, 1);
    }
}

std::span<const Caption> CorrectivePanel::captions()
{
    return allCaptions();
}

void CorrectivePanel::showEcuValues(const SharedState& state)
{
    for (size_t i = 0; i < edited_.size(); ++i) {
        const Edited& e = edited_[i];
        if (e.changed) continue;
        const int value = state.parameterValues[e.id];
        if (e.spinner) {
            const QSignalBlocker quiet(e.spinner);
            e.spinner->setValue(-std::clamp(value, 0, -e.spinner->minimum()));
        }
        e.box->setText(QString::number(value));
    }
}

void CorrectivePanel::forgetEdits()
{
    for (Edited& e : edited_)
        e.changed = false;
}

void CorrectivePanel::clearComputed()
{
    pressureCorrectiveBox->clear();
    temperatureCorrectiveBox->clear();
}

void CorrectivePanel::showComputed(const SharedState& state)
{
    const auto& p = state.parameterValues;
    const LiveStatus& live = state.liveStatus;
    temperatureCorrectiveBox->setText(QString::number(
        temperatureCorrective(live.temperature1, p[param::calibrationTemperature],
                              p[param::temperatureVariation], p[param::temperatureInterval])));
    pressureCorrectiveBox->setText(QString::number(
        pressureCorrective(live.pressureMbar, p[param::calibrationPressure], p[param::pressureVariation],
                           p[param::pressureInterval], live.rpm, p[param::pressureCorrectionRpmThreshold])));
}

void CorrectivePanel::showConfirmed(int id, int value)
{
    for (const Edited& e : edited_)
        if (e.id == id) e.box->setText(QString::number(value));
}

std::optional<std::vector<std::pair<int, int>>> CorrectivePanel::read(const BoxReader& reader,
                                                                      Language language) const
{
    std::vector<std::pair<int, int>> values;
    for (size_t i = 0; i < edited_.size(); ++i) {
        const Field& field = kFields[i];
        FieldRule rule;
        rule.shownName =
            kFrameTexts[field.frame].in(language) + QStringLiteral(": ") + field.labelText.in(language);
        const std::optional<long long> value = reader(edited_[i].box, rule);
        if (!value) {
            edited_[i].box->setFocus();
            return std::nullopt;
        }
        values.emplace_back(edited_[i].id, static_cast<int>(*value));
    }
    return values;
}

void CorrectivePanel::setEditable(bool editable)
{
    for (const Edited& e : edited_) {
        e.box->setReadOnly(!editable);
        if (e.spinner) e.spinner->setEnabled(editable);
    }
}

void CorrectivePanel::setFramesVisible(bool visible)
{
    for (QGroupBox* frame : frames_)
        frame->setVisible(visible);
}

std::vector<QLineEdit*> CorrectivePanel::valueBoxes() const
{
    std::vector<QLineEdit*> boxes;
    for (const Edited& e : edited_)
        boxes.push_back(e.box);
    boxes.push_back(pressureCorrectiveBox);
    boxes.push_back(temperatureCorrectiveBox);
    return boxes;
}
