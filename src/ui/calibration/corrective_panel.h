#pragma once

#include "link/input_rule.h"
#include "link/shared_state.h"
#include "ui/common/captions.h"

#include <QWidget>

#include <array>
#include <functional>
#include <optional>
#include <span>
#include <utility>
#include <vector>

class QGroupBox;
class QLineEdit;
class QScrollBar;

// The temperature, lambda and pressure correctives (Frame17, Frame20, Frame21): seven boxes the
// installer edits, three with a spinner, and the two correctives the present readings give.
// The boxes, not the spinners, are what store reads: a number typed beyond a spinner is stored.
class CorrectivePanel : public QWidget {
    Q_OBJECT
public:
    explicit CorrectivePanel(QWidget* parent);

    static std::span<const Caption> captions();

    // Each activation: the ECU's values, except in the boxes the user changed since the last store
    // (a message closed over the window activates it too). A spinner takes the nearest end of its
    // range for a value beyond it; its box shows the value as it is.
    void showEcuValues(const SharedState& state);
    void forgetEdits();
    // Each poll: the correctives from the ECU's parameters and the last readings.
    void showComputed(const SharedState& state);
    void clearComputed();
    // A confirmed echo of one of the seven parameters.
    void showConfirmed(int id, int value);

    // The seven boxes in their write order as (parameter id, value), or nothing after the first
    // box refused by `reader` (which tells the user).
    using BoxReader = std::function<std::optional<long long>(const QLineEdit*, const FieldRule&)>;
    std::optional<std::vector<std::pair<int, int>>> read(const BoxReader& reader, Language language) const;

    void setEditable(bool editable);
    void setFramesVisible(bool visible);
    std::vector<QLineEdit*> valueBoxes() const;

private:
    struct Edited {
        QLineEdit* box = nullptr;
        QScrollBar* spinner = nullptr; // none for the intervals and thresholds
        int id = 0;
        bool changed = false;
    };
    std::array<Edited, 7> edited_{}; // in the write order
    std::array<QGroupBox*, 3> frames_{};
    QLineEdit* pressureCorrectiveBox;    // Text13
    QLineEdit* temperatureCorrectiveBox; // Text27
};
