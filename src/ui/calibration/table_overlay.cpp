#include "ui/calibration/table_overlay.h"

#include "link/frames.h"
#include "link/number_text.h"
#include "link/parameter_catalogue.h"
#include "ui/calibration/table_editor.h"
#include "ui/calibration/table_grid.h"
#include "ui/common/app_context.h"
#include "ui/common/file_dialogs.h"
#include "ui/common/form.h"

#include <QComboBox>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace {

// "800,1200,...": an axis as the datalog's sidecar writes it; none unless it is eight whole numbers.
std::optional<Axis> axisFromText(const QString& text)
{
    const QStringList parts = text.split(QLatin1Char(','));
    if (parts.size() != 8) return std::nullopt;
    Axis axis{};
    for (size_t i = 0; i < 8; ++i) {
        const auto value = wholeNumberFromText(parts[static_cast<int>(i)], number_syntax::kWhole);
        if (!value || *value > kParameterMax) return std::nullopt;
        axis[i] = static_cast<int>(*value);
    }
    return axis;
}

constexpr Language kLanguages[] = {Language::Italian, Language::English, Language::Turkish};

constexpr LocalText kViewLabel{"Vista della tabella", "Table view", "Tablo gorunumu"};
// in the order of TableOverlay::View
constexpr LocalText kViews[] = {
    {"Valori", "Values", "Degerler"},
    {"Correzioni suggerite", "Suggested corrections", "Onerilen duzeltmeler"},
    {"Campioni", "Hit counts", "Ornek sayilari"},
};
constexpr LocalText kLoad{"Carica registrazione...", "Load datalog...", "Kayit yukle..."};
constexpr LocalText kLoadTitle{"Carica registrazione", "Load datalog", "Kayit yukle"};
constexpr LocalText kLoadTip{
    "Confronta benzina e gas cella per cella su una registrazione fatta in questa finestra",
    "Compare petrol and gas cell by cell over a datalog recorded in this window",
    "Bu pencerede yapilan bir kayitta benzin ve gazi hucre hucre karsilastir"};
constexpr LocalText kLive{"Dal vivo", "Live", "Canli"};
constexpr LocalText kLiveTip{"Confronta benzina e gas sulle letture di questa finestra da quando e' aperta",
                             "Compare petrol and gas over this window's replies since it opened",
                             "Benzin ve gazi bu pencerenin acildigindan beri okumalarinda karsilastir"};
constexpr LocalText kApply{"Applica suggerimenti", "Apply suggestions", "Onerileri uygula"};
constexpr LocalText kApplyTip{
    "Porta le celle selezionate (tutta la tabella se nessuna) al KGB suggerito: si annulla con Annulla "
    "e va in centralina solo con MODIFICA",
    "Set the selected cells (the whole table when none) to the suggested KGB: Undo takes it back and "
    "only MODIFY writes it to the ECU",
    "Secili hucreleri (hicbiri secili degilse tum tabloyu) onerilen KGB yap: Geri al ile geri alinir, "
    "beyne yalnizca Kaydet ile yazilir"};

constexpr LocalText kLiveSummary{"Dal vivo: %1 letture", "Live: %1 replies", "Canli: %1 okuma"};
constexpr LocalText kLogSummary{"Registrazione %1: %2 righe", "Datalog %1: %2 rows", "Kayit %1: %2 satir"};
constexpr LocalText kCounts{"%1 campioni stabili, %2 celle con suggerimento",
                            "%1 stable samples, %2 cells with a suggestion",
                            "%1 kararli ornek, %2 hucrede oneri"};
constexpr LocalText kReadUpTo{"interrotta a meta' di una riga: letta fino all'ultima riga completa",
                              "cut short in the middle of a row: read up to its last whole row",
                              "bir satirin ortasinda kesilmis: son tam satira kadar okundu"};
constexpr LocalText kSkipped{"%1 righe danneggiate saltate, la prima e' la riga %2",
                             "%1 damaged rows skipped, the first is row %2",
                             "%1 hasarli satir atlandi, ilki %2. satir"};
constexpr LocalText kOtherAxes{
    "celle secondo gli assi della registrazione, diversi da quelli della centralina ora",
    "cells by the recording's axes, which differ from the ECU's now",
    "hucreler kaydin eksenlerine gore; ECU'nun simdiki eksenlerinden farkli"};
constexpr LocalText kNoAxes{
    "La registrazione %1 non dice gli assi della tabella e la centralina non li ha dati: non si sa in quali "
    "celle cadono le sue righe.",
    "The datalog %1 does not give the table's axes and the ECU has not given them: which cells its rows "
    "fall in is not known.",
    "%1 kaydi tablo eksenlerini vermiyor ve ECU da vermedi: satirlarinin hangi hucrelere dustugu "
    "bilinmiyor."};
constexpr LocalText kApplied{
    "Applicati %1 suggerimenti, da scrivere con MODIFICA; %2 celle senza suggerimento lasciate come sono.",
    "Applied %1 suggestions, to be written by MODIFY; %2 cells without a suggestion left as they are.",
    "%1 oneri uygulandi, Kaydet ile yazilacak; onerisi olmayan %2 hucre oldugu gibi birakildi."};
constexpr LocalText kNothingToApply{"Nessun suggerimento nelle celle selezionate: nulla e' cambiato.",
                                    "No suggestion in the cells selected: nothing changed.",
                                    "Secili hucrelerde oneri yok: hicbir sey degismedi."};

constexpr LocalText kMessageTitle{"ORVANE - Registrazione", "ORVANE - Datalog", "ORVANE - Kayit"};
constexpr LocalText kNotDatalog{"Il file %1 non e' una registrazione di ORVANE.",
                                "The file %1 is not an ORVANE datalog.",
                                "%1 dosyasi bir ORVANE kaydi degil."};
constexpr LocalText kMissingColumns{
    "La registrazione %1 non ha le colonne %2: i tempi di iniezione su benzina e su gas non si possono "
    "confrontare. Registrare dalla finestra di taratura.",
    "The datalog %1 has no column %2: the injection times on petrol and on gas cannot be compared. Record "
    "from the calibration window.",
    "%1 kaydinda %2 sutunu yok: benzin ve gaz enjeksiyon sureleri karsilastirilamaz. Kalibrasyon "
    "penceresinden kaydedin."};

constexpr LocalText kCellTip{
    "Benzina: %1 campioni, Tinj media %2\nGas: %3 campioni, Tinj media %4\nLetture "
    "nella cella: %5",
    "Petrol: %1 samples, mean Tinj %2\nGas: %3 samples, mean Tinj %4\nReplies in the "
    "cell: %5",
    "Benzin: %1 ornek, ortalama Tinj %2\nGaz: %3 ornek, ortalama Tinj %4\nHucredeki "
    "okumalar: %5"};
constexpr LocalText kSuggestedTip{"KGB suggerito: %1 (ora %2)", "Suggested KGB: %1 (now %2)",
                                  "Onerilen KGB: %1 (simdi %2)"};
constexpr LocalText kTooFewTip{"KGB suggerito: pochi campioni, ne servono %1 per carburante",
                               "Suggested KGB: too few samples, %1 per fuel needed",
                               "Onerilen KGB: az ornek, yakit basina %1 gerekli"};
// the legend under the suggestions: what each colour asks of the cell
constexpr LocalText kHigher{"da alzare", "raise", "artir"};
constexpr LocalText kSame{"giusta", "right", "dogru"};
constexpr LocalText kLower{"da abbassare", "lower", "azalt"};
constexpr LocalText kTooFew{"pochi dati", "too few", "az veri"};
constexpr LocalText kNone{"nessun dato", "no data", "veri yok"};

const QColor kRaise{225, 70, 40};
const QColor kLowerColour{40, 100, 225};
const QColor kSameColour{235, 235, 235};
const QColor kTooFewColour{130, 130, 130};
const QColor kEmpty{48, 48, 48};

// From `from` towards `to` by `share` (0..1).
QColor blend(const QColor& from, const QColor& to, double share)
{
    const auto mix = [share](int a, int b) { return static_cast<int>(std::lround(a + (b - a) * share)); };
    return {mix(from.red(), to.red()), mix(from.green(), to.green()), mix(from.blue(), to.blue())};
}

} // namespace

TableOverlay::TableOverlay(AppContext& context, Form& window, TableGrid* grid, TableEditor* editor)
    : QObject(grid), ctx(context), window_(window), grid_(grid), editor_(editor)
{
    panel_ = new QWidget(&window);
    panel_->setObjectName(QStringLiteral("TableOverlay"));
    viewLabel_ = new QLabel(panel_);
    viewLabel_->setObjectName(QStringLiteral("OverlayViewLabel"));
    viewBox_ = new QComboBox(panel_);
    viewBox_->setObjectName(QStringLiteral("OverlayView"));
    for (size_t i = 0; i < std::size(kViews); ++i)
        viewBox_->addItem(QString());
    const auto makeButton = [this](const char* name) {
        auto* b = new QPushButton(panel_);
        b->setObjectName(QString::fromLatin1(name));
        // the keyboard stays in the grid
        b->setFocusPolicy(Qt::TabFocus);
        return b;
    };
    loadButton_ = makeButton("OverlayLoad");
    liveButton_ = makeButton("OverlayLive");
    applyButton_ = makeButton("OverlayApply");
    summary_ = new QLabel(panel_);
    summary_->setObjectName(QStringLiteral("OverlaySummary"));
    summary_->setWordWrap(true);
    summary_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    summary_->setFrameShape(QFrame::StyledPanel);

    // as wide as the longest text in any language, as high as the grid: nothing moves
    const QFontMetrics metrics(panel_->font());
    int widest = 0;
    for (const Language l : kLanguages)
        for (const LocalText& t : {kViewLabel, kViews[0], kViews[1], kViews[2], kLoad, kLive, kApply})
            widest = std::max(widest, metrics.horizontalAdvance(t.in(l)));
    panel_->setFixedWidth(widest + 40);
    auto* column = new QVBoxLayout(panel_);
    column->setContentsMargins(6, 0, 0, 0);
    column->setSpacing(4);
    for (QWidget* w :
         std::initializer_list<QWidget*>{viewLabel_, viewBox_, loadButton_, liveButton_, applyButton_})
        column->addWidget(w);
    column->addWidget(summary_, 1);
    panel_->setFixedHeight(grid_->sizeHint().height());

    connect(viewBox_, &QComboBox::activated, this, [this](int index) { setView(static_cast<View>(index)); });
    connect(loadButton_, &QPushButton::clicked, this, &TableOverlay::pressLoad);
    connect(liveButton_, &QPushButton::clicked, this, &TableOverlay::showLive);
    connect(applyButton_, &QPushButton::clicked, this, &TableOverlay::applySuggestions);
    connect(&ctx.dispatcher, &ReplyDispatcher::frameHandled, this, &TableOverlay::onReply);
    clock = [this] { return clock_.elapsed(); };
    tileTimer_.setSingleShot(true);
    tileTimer_.setInterval(0);
    connect(&tileTimer_, &QTimer::timeout, this, &TableOverlay::showTiles);
    for (int k = 1; k <= 64; ++k) {
        // typing shows what is typed
        connect(grid_->cellBox(k), &QLineEdit::textEdited, this, [this] { setView(View::Values); });
        // the suggestions are coloured against what the boxes hold now
        connect(grid_->cellBox(k), &QLineEdit::textChanged, this, [this] {
            if (view_ != View::Values) tileTimer_.start();
        });
    }
}

Language TableOverlay::language() const
{
    return languageOf(ctx.state.languageIndex);
}

void TableOverlay::reset(Language language)
{
    live_ = {};
    log_ = {};
    logName_.reset();
    logNote_.clear();
    lastAction_.clear();
    clock_.start();
    view_ = View::Values;
    applyCaptions(language);
    refresh();
}

void TableOverlay::applyCaptions(Language language)
{
    viewLabel_->setText(kViewLabel.in(language));
    for (size_t i = 0; i < std::size(kViews); ++i)
        viewBox_->setItemText(static_cast<int>(i), kViews[i].in(language));
    loadButton_->setText(kLoad.in(language));
    loadButton_->setToolTip(kLoadTip.in(language));
    liveButton_->setText(kLive.in(language));
    liveButton_->setToolTip(kLiveTip.in(language));
    applyButton_->setText(kApply.in(language));
    applyButton_->setToolTip(kApplyTip.in(language));
    // what was said of the last apply stays in the language it was said in until the next
    showSummary();
    showTiles();
}

void TableOverlay::setEditable(bool editable)
{
    editable_ = editable;
    updateControls();
}

void TableOverlay::updateControls()
{
    viewBox_->setCurrentIndex(static_cast<int>(view_));
    liveButton_->setEnabled(logName_.has_value());
    applyButton_->setEnabled(editable_ && result_.suggestedCells > 0);
}

void TableOverlay::setView(View view)
{
    if (view == view_) return;
    view_ = view;
    updateControls();
    showTiles();
}

void TableOverlay::onReply(int code)
{
    if (!window_.isLoaded()) return;
    if (code != static_cast<int>(RequestKind::CalibrationPoll) &&
        code != static_cast<int>(RequestKind::CalibrationPollCoils))
        return;
    const LiveStatus& live = ctx.state.liveStatus;
    DriveSample s;
    s.timeMs = clock();
    s.onGas = live.onPetrol != 1;
    s.ecuState = live.calibrationState;
    s.calibrationMode = ctx.state.calibrationInactive == 0 && ctx.state.calibrationOnAcknowledged == 1;
    s.rpm = live.rpm;
    s.tinj = live.calibrationTinj;
    s.kgbInUse = live.kgbInUse;
    live_.samples.push_back(s);
    if (live_.accumulator) live_.accumulator->add(s);
    if (!logName_) refresh();
}

void TableOverlay::pressLoad()
{
    const QString path = ctx.fileDialogs->openFile(&window_, kLoadTitle.in(language()), datalogFolder(),
                                                   datalog_texts::fileFilter.in(language()));
    if (!path.isEmpty()) load(path);
}

bool TableOverlay::load(const QString& path)
{
    const Language lang = language();
    const QString name = QFileInfo(path).fileName();
    const Datalog log = readDatalog(path);
    const auto refuse = [&](const QString& text) {
        ctx.showMessage(kMessageTitle.in(lang), text);
        return false;
    };
    if (log.status == Datalog::Status::Unreadable)
        return refuse(datalog_texts::cannotOpen.in(lang).arg(path, log.errorText));
    if (log.status == Datalog::Status::NotDatalog) return refuse(kNotDatalog.in(lang).arg(path));
    DriveSamples read = driveSamples(log);
    if (!read.missingColumns.isEmpty())
        return refuse(kMissingColumns.in(lang).arg(name, read.missingColumns.join(QStringLiteral(", "))));
    // the rows fall in cells by the axes the drive was recorded on, which the sidecar keeps
    const QMap<QString, QString> info = readDatalogInfo(path);
    std::optional<std::pair<Axis, Axis>> axes;
    if (const auto rpm = axisFromText(info.value(QStringLiteral("rpmAxis"))),
        tinj = axisFromText(info.value(QStringLiteral("tinjAxis")));
        rpm && tinj)
        axes.emplace(*rpm, *tinj);
    else if (tableAxes(ctx.state).first == Axis{} && tableAxes(ctx.state).second == Axis{})
        return refuse(kNoAxes.in(lang).arg(name));
    log_ = {std::move(read.samples), std::nullopt};
    logName_ = name;
    logAxes_ = axes;
    QStringList notes;
    if (log.status == Datalog::Status::Truncated) notes << kReadUpTo.in(lang);
    if (log.skippedRows > 0) notes << kSkipped.in(lang).arg(log.skippedRows).arg(log.firstSkippedRow);
    if (axes && *axes != tableAxes(ctx.state)) notes << kOtherAxes.in(lang);
    logRows_ = log.rowCount();
    logNote_ = notes.join(QStringLiteral("; "));
    lastAction_.clear();
    // a drive loaded is there to be looked at
    if (view_ == View::Values) view_ = View::Suggestions;
    refresh();
    return true;
}

void TableOverlay::showLive()
{
    logName_.reset();
    logAxes_.reset();
    log_ = {};
    logNote_.clear();
    lastAction_.clear();
    refresh();
}

void TableOverlay::refresh()
{
    const SharedState& state = ctx.state;
    const auto [rpmAxis, tinjAxis] = logName_ && logAxes_ ? *logAxes_ : tableAxes(ctx.state);
    Source& s = source();
    // live, the cells are the ECU's: new axes put the same samples in other cells
    if (!s.accumulator || s.accumulator->rpmAxis() != rpmAxis || s.accumulator->tinjAxis() != tinjAxis) {
        s.accumulator.emplace(rpmAxis, tinjAxis);
        for (const DriveSample& sample : s.samples)
            s.accumulator->add(sample);
    }
    result_ = s.accumulator->result(state.tableCells.items);
    updateControls();
    showSummary();
    showTiles();
}

void TableOverlay::showSummary()
{
    const Language lang = language();
    QStringList lines;
    if (logName_) {
        lines << kLogSummary.in(lang).arg(*logName_).arg(logRows_);
        if (!logNote_.isEmpty()) lines << logNote_;
    } else {
        lines << kLiveSummary.in(lang).arg(live_.samples.size());
    }
    lines << kCounts.in(lang).arg(result_.stableSamples).arg(result_.suggestedCells);
    if (!lastAction_.isEmpty()) lines << QString() << lastAction_;
    summary_->setText(lines.join(QLatin1Char('\n')));
}

void TableOverlay::showTiles()
{
    tileTimer_.stop();
    if (view_ == View::Values) {
        if (grid_->tiles()) grid_->setTiles(std::nullopt);
        return;
    }
    const Language lang = language();
    const int minSamples = DriveRules{}.minSamples;
    CellTiles tiles;
    for (int k = 1; k <= 64; ++k) {
        const CellAnalysis& a = result_.cell(k);
        CellTile& tile = tiles[static_cast<size_t>(k - 1)];
        bool ok = false;
        const int now = grid_->cellBox(k)->text().trimmed().toInt(&ok);
        const QString nowText = ok ? QString::number(now) : grid_->cellBox(k)->text();
        tile.tip =
            kCellTip.in(lang)
                .arg(a.petrolSamples)
                .arg(a.petrolSamples > 0 ? QString::number(a.petrolMeanTinj, 'f', 0) : QStringLiteral("-"))
                .arg(a.gasSamples)
                .arg(a.gasSamples > 0 ? QString::number(a.gasMeanTinj, 'f', 0) : QStringLiteral("-"))
                .arg(a.hits);
        tile.tip +=
            QLatin1Char('\n') + (a.suggestedKgb ? kSuggestedTip.in(lang).arg(*a.suggestedKgb).arg(nowText)
                                                : kTooFewTip.in(lang).arg(minSamples));
        if (view_ == View::Hits) {
            tile.background = a.hits > 0 ? heatColour(a.hits, 0, result_.maxHits) : kEmpty;
            tile.foreground = readableTextOn(tile.background);
            if (a.hits > 0) tile.text = QString::number(a.hits);
            continue;
        }
        if (a.suggestedKgb) {
            const int change = ok ? *a.suggestedKgb - now : 0;
            // full colour at 15 % of the cell's value
            const double share = std::min(1.0, std::abs(change) / (0.15 * std::max(1, now)));
            tile.background =
                change == 0 ? kSameColour : blend(kSameColour, change > 0 ? kRaise : kLowerColour, share);
            tile.foreground = readableTextOn(tile.background);
            tile.text = QString::number(*a.suggestedKgb);
        } else if (a.petrolSamples + a.gasSamples > 0) {
            tile.background = kTooFewColour;
            tile.foreground = readableTextOn(kTooFewColour);
            tile.hatched = true;
            // petrol / gas: what is short
            tile.text = QStringLiteral("%1/%2").arg(a.petrolSamples).arg(a.gasSamples);
        } else {
            tile.background = kEmpty;
            tile.foreground = readableTextOn(kEmpty);
        }
    }
    std::vector<LegendSwatch> legend;
    if (view_ == View::Hits) {
        legend.push_back({kEmpty, QStringLiteral("0")});
        for (int quarter = 1; quarter <= 4; ++quarter) {
            const int hits = std::max(1, result_.maxHits * quarter / 4);
            legend.push_back({heatColour(hits, 0, std::max(1, result_.maxHits)), QString::number(hits)});
        }
    } else {
        legend = {{kRaise, kHigher.in(lang)},
                  {kSameColour, kSame.in(lang)},
                  {kLowerColour, kLower.in(lang)},
                  {kTooFewColour, kTooFew.in(lang), true},
                  {kEmpty, kNone.in(lang)}};
    }
    grid_->setTiles(tiles, legend);
}

void TableOverlay::applySuggestions()
{
    const Language lang = language();
    const CellBlock block = editor_->selection().value_or(CellBlock{0, 0, kTableSide - 1, kTableSide - 1});
    CellGrid values;
    for (auto& row : values)
        row.fill(-1);
    int applied = 0, skipped = 0;
    for (int r = block.top(); r <= block.bottom(); ++r)
        for (int c = block.left(); c <= block.right(); ++c) {
            if (const std::optional<int> s = result_.cell(1 + 8 * r + c).suggestedKgb) {
                values[static_cast<size_t>(r)][static_cast<size_t>(c)] = *s;
                ++applied;
            } else {
                ++skipped;
            }
        }
    if (applied == 0) {
        lastAction_ = kNothingToApply.in(lang);
        showSummary();
        return;
    }
    if (!editor_->setCells(values)) return;
    lastAction_ = kApplied.in(lang).arg(applied).arg(skipped);
    showSummary();
    showTiles();
}
