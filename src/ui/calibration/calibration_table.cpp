#include "ui/calibration/calibration_table.h"

#include "link/input_rule.h"
#include "link/parameter_catalogue.h"
#include "ui/calibration/table_editor.h"
#include "ui/calibration/table_grid.h"
#include "ui/calibration/table_overlay.h"
#include "ui/common/form.h"

#include <QLineEdit>

namespace {

// Box 0..15 of an axis breakpoint -> its parameter id.
int axisParameter(int box)
{
    return box < 8 ? param::mapRpmAxis + box : param::mapTinjAxis + box - 8;
}

// The box of an axis parameter, -1 for any other.
int axisBox(int id)
{
    if (id >= param::mapRpmAxis && id < param::mapRpmAxis + 8) return id - param::mapRpmAxis;
    if (id >= param::mapTinjAxis && id < param::mapTinjAxis + 8) return 8 + id - param::mapTinjAxis;
    return -1;
}

int cellBoxIndex(int cell)
{
    return TableGrid::kFirstCellBox - 1 + cell;
}

} // namespace

CalibrationTable::CalibrationTable(AppContext& ctx, Form& window, std::function<Language()> language,
                                   std::function<void(const QString&, const QString&)> refuse)
    : QObject(&window)
{
    grid_ = new TableGrid(&window);
    editor_ = new TableEditor(grid_, &window, std::move(language), std::move(refuse));
    overlay_ = new TableOverlay(ctx, window, grid_, editor_);
}

void CalibrationTable::reset(Language language)
{
    grid_->clearEdited();
    editor_->select(std::nullopt);
    editor_->forgetHistory();
    editor_->applyCaptions(language);
    overlay_->reset(language);
    grid_->moveMarker(kMarkerColumns.before, kMarkerRows.before);
    grid_->setOperatingCell(0);
}

void CalibrationTable::applyCaptions(Language language)
{
    editor_->applyCaptions(language);
    overlay_->applyCaptions(language);
}

void CalibrationTable::showEcu(const SharedState& state)
{
    const auto show = [this](int box, int value) {
        // what the user typed and has not stored yet stays
        if (!grid_->isEdited(box)) grid_->box(box)->setText(QString::number(value));
    };
    for (int i = 0; i < 16; ++i) {
        grid_->setEcuAxis(i, state.parameterValues[axisParameter(i)]);
        show(i, state.parameterValues[axisParameter(i)]);
    }
    for (int k = 1; k <= kTableCellCount; ++k) {
        grid_->setEcuCell(k, state.tableCells[k]);
        show(cellBoxIndex(k), state.tableCells[k]);
    }
    overlay_->refresh();
}

void CalibrationTable::showOperatingPoint(const SharedState& state)
{
    const LiveStatus& live = state.liveStatus;
    const auto [rpmAxis, tinjAxis] = tableAxes(state);
    grid_->moveMarker(markerOffset(rpmAxis, live.rpm, kMarkerColumns),
                      markerOffset(tinjAxis, live.calibrationTinj, kMarkerRows));
    // the cell the drive's samples are counted in
    grid_->setOperatingCell(operatingCell(rpmAxis, tinjAxis, live.rpm, live.calibrationTinj));
}

void CalibrationTable::setTextColour(const QColor& colour)
{
    grid_->setTextColour(colour);
}

void CalibrationTable::setEditable(bool editable)
{
    for (int i = 0; i < TableGrid::kBoxes; ++i)
        grid_->box(i)->setReadOnly(!editable);
    editor_->setEditable(editable);
    overlay_->setEditable(editable);
}

std::optional<std::vector<WriteValue>> CalibrationTable::read(const BoxReader& reader,
                                                              Language language) const
{
    std::vector<WriteValue> values;
    for (int i = 0; i < TableGrid::kBoxes; ++i) {
        FieldRule rule;
        rule.roundsFractions = true;
        const WriteItem item =
            i < 16 ? WriteItem{false, axisParameter(i)} : WriteItem{true, i - TableGrid::kFirstCellBox + 1};
        rule.shownName = writeItemLabel(item, language);
        if (item.cell) rule.max = kCellMax;
        const std::optional<long long> value = reader(grid_->box(i), rule);
        if (!value) {
            grid_->box(i)->setFocus();
            return std::nullopt;
        }
        values.push_back({item, static_cast<int>(*value)});
    }
    return values;
}

QString CalibrationTable::axisOrderProblem(const std::vector<WriteValue>& values, Language language)
{
    static constexpr LocalText kNotRising{"%1 (%2) non e' maggiore di %3 (%4)",
                                          "%1 (%2) is not above %3 (%4)",
                                          "%1 (%2), %3 (%4) degerinden buyuk degil"};
    QStringList problems;
    for (const int first : {param::mapRpmAxis, param::mapTinjAxis}) {
        const auto valueOf = [&values](int id) {
            for (const WriteValue& v : values)
                if (!v.item.cell && v.item.index == id) return v.value;
            return 0;
        };
        for (int id = first + 1; id < first + 8; ++id)
            if (valueOf(id) <= valueOf(id - 1))
                problems << kNotRising.in(language).arg(
                    writeItemLabel({false, id}, language), QString::number(valueOf(id)),
                    writeItemLabel({false, id - 1}, language), QString::number(valueOf(id - 1)));
    }
    return problems.join(QStringLiteral("\n"));
}

void CalibrationTable::cellConfirmed(int cell, int value, bool take)
{
    const int box = cellBoxIndex(cell);
    grid_->setEcuCell(cell, value);
    // a late, repeated echo after the write must not undo what the user has typed since
    if (take) {
        grid_->box(box)->setText(QString::number(value));
        grid_->setEdited(box, false);
    } else if (!grid_->isEdited(box)) {
        // another writer's value: a box nobody typed in shows it, so a later store cannot put the old one
        // back
        grid_->box(box)->setText(QString::number(value));
    }
}

void CalibrationTable::parameterConfirmed(int id, int value, bool take)
{
    const int box = axisBox(id);
    if (box < 0) return;
    grid_->setEcuAxis(box, value);
    // the drive's samples fall into the cells of the new axes
    overlay_->refresh();
    if (take) {
        grid_->box(box)->setText(QString::number(value));
        grid_->setEdited(box, false);
    } else if (!grid_->isEdited(box)) {
        grid_->box(box)->setText(QString::number(value));
    }
}

void CalibrationTable::forgetWrittenEdits(const SharedState& state)
{
    for (int i = 0; i < TableGrid::kBoxes; ++i) {
        const int ecu = i < 16 ? state.parameterValues[axisParameter(i)]
                               : state.tableCells[i - TableGrid::kFirstCellBox + 1];
        if (grid_->box(i)->text().trimmed() == QString::number(ecu)) grid_->setEdited(i, false);
    }
}
