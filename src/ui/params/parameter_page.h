#pragma once

#include "link/parameter_rules.h"
#include "link/write_session.h"
#include "ui/common/form.h"

#include <QTimer>

#include <array>
#include <span>
#include <vector>

class QAbstractButton;
class QCheckBox;
class QLabel;
class QPushButton;
class QRadioButton;

// One editor of a parameter page, in the page's write order.
struct PageField {
    enum class Kind { Box, Options, Check };
    Kind kind;
    int parameterId;
    // Box or Check: the control; Options: the option buttons for the values 0, 1, 2 ..., their
    // captions red for the selected one and blue for the others
    std::array<const char*, 4> controls{};
    // Box: what it may hold (its name for the refusal, the range its conversion carries)
    FieldRule rule = parameterRule(parameterId);
};

// Texts every page has.
namespace page_texts {
inline constexpr LocalText modify{"Modifica", "Modify", "Kaydet"};
inline constexpr LocalText readMode{"Modalità lettura", "Reading mode", "Degerleri oku"};
inline constexpr LocalText writeMode{"Modalità scrittura", "Writing mode", "Degerleri degistir"};
} // namespace page_texts

// The controls every page has, by design name.
struct PageControls {
    const char* readMode;    // option button
    const char* writeMode;   // option button
    const char* writeButton; // "Modifica"
    const char* exitButton;  // "EXIT"
};

// The way every parameter page works: it opens in read mode showing what the ECU holds; in write
// mode its editors are unlocked; the write button hands them to the write session, and the write
// timer sends one frame per tick, in the page's order, until the ECU has confirmed each.
// A page declares its widgets (named by their design names) and its fields; this runs the rest.
class ParameterPage : public Form {
    Q_OBJECT
public:
    ParameterPage(AppContext& context, WindowId id, int writePeriodMs);

    void writeTick(); // Timer1
    bool writing() const { return writing_; }

protected:
    // Binds the fields and controls to the widgets the page made; call at the end of its constructor.
    void bindFields(std::span<const PageField> fields, const PageControls& controls);

    void onLoad() override;
    void onActivate() override;
    void onUnload() override;
    void onLanguageChanged() override;

    // Read mode: editors locked; write mode: unlocked. Pages with more editors extend both.
    virtual void setWriteMode(bool on);
    // When a walk starts, and after the last value is confirmed.
    virtual void onWriteStarted() {}
    virtual void onWriteComplete() {}

    // An editor the base does not watch changed the field's box (a scroll bar beside it).
    void markEdited(int parameterId);
    bool isEdited(int parameterId) const;
    // Writes `value` for `parameterId` alone: every other field of the page asks for what the ECU holds.
    void writeOnly(int parameterId, int value);

    QTimer writeTimer; // Timer1

private:
    struct Bound {
        const PageField* field;
        std::vector<QAbstractButton*> controls;
        bool touched = false;
    };

    void show(Bound& bound, int value);
    void colourOptions(Bound& bound);
    void dropEdits();
    void pressWrite();
    void startWalk(const std::vector<WriteValue>& values);
    void onWriteEnded(const WriteReport& report);
    // The page as the user knows it, for a refusal while it writes.
    Writer writer() const;
    void onParameterConfirmed(int id, int value);
    int requestedValue(const Bound& bound, const std::optional<long long>& typed) const;

    std::vector<Bound> bound_;
    std::vector<int> order_;
    QRadioButton* readMode_ = nullptr;
    QRadioButton* writeMode_ = nullptr;
    QPushButton* writeButton_ = nullptr;
    QLabel* writeLine_ = nullptr; // the write's progress
    bool writing_ = false;
};
