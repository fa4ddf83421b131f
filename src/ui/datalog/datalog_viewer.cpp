#include "ui/datalog/datalog_viewer.h"

#include "ui/common/file_dialogs.h"

#include "ui/datalog/datalog_plot.h"

#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QScrollBar>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace {

const Caption kCaptions[] = {
    {kTitle, {"ORVANE - Visualizza registrazione", "ORVANE - Datalog viewer", "ORVANE - Kayit izleme"}},
    {"Command1", shared_texts::exit},
    {"OpenDatalog", {"Apri registrazione...", "Open datalog...", "Kayit ac..."}},
    {"CompareDatalog", {"Confronta...", "Compare...", "Karsilastir..."}},
    {"RemoveComparison", {"Togli confronto", "Remove comparison", "Karsilastirmayi kaldir"}},
    {"MarkersTitle", {"Marcatori", "Markers", "Isaretler"}},
};

constexpr LocalText kNoFile{"Nessuna registrazione aperta", "No datalog open", "Acik kayit yok"};
constexpr LocalText kDialogTitle{"Apri registrazione", "Open datalog", "Kayit ac"};
constexpr LocalText kNotDatalog{"Il file %1 non e' una registrazione di ORVANE: non viene aperto.",
                                "The file %1 is not an ORVANE datalog: it is not opened.",
                                "%1 dosyasi bir ORVANE kaydi degil: acilmadi."};
constexpr LocalText kTruncated{
    "Il file %1 e' interrotto a meta' di una riga: letto fino all'ultima riga completa (%2 righe).",
    "The file %1 is cut short in the middle of a row: read up to its last whole row (%2 rows).",
    "%1 dosyasi bir satirin ortasinda kesilmis: son tam satira kadar okundu (%2 satir)."};
constexpr LocalText kDamaged{"Il file %1 e' danneggiato alla riga %2: letto fino alla riga %3.",
                             "The file %1 is damaged at row %2: read up to row %3.",
                             "%1 dosyasi %2. satirda bozuk: %3. satira kadar okundu."};
constexpr LocalText kSkipped{
    "Il file %1 ha %2 righe danneggiate, saltate; la prima e' la riga %3. Sono mostrate le altre %4 righe.",
    "The file %1 has %2 damaged rows, skipped; the first is row %3. The other %4 rows are shown.",
    "%1 dosyasinda %2 bozuk satir atlandi; ilki %3. satir. Diger %4 satir gosteriliyor."};
constexpr LocalText kSkippedOne{
    "Il file %1 ha una riga danneggiata, la riga %2, saltata. Sono mostrate le altre %3 righe.",
    "The file %1 has one damaged row, row %2, skipped. The other %3 rows are shown.",
    "%1 dosyasinda bir bozuk satir (%2. satir) atlandi. Diger %3 satir gosteriliyor."};
constexpr LocalText kCompareTitle{"Apri registrazione da confrontare", "Open datalog to compare",
                                  "Karsilastirilacak kaydi ac"};
constexpr LocalText kComparedWith{"confrontata con %1", "compared with %1", "karsilastirilan: %1"};
constexpr LocalText kNoRows{"La registrazione %1 non ha righe: nulla da confrontare.",
                            "The datalog %1 has no rows: nothing to compare.",
                            "%1 kaydinda satir yok: karsilastirilacak bir sey yok."};
constexpr LocalText kCompared{"Confronto", "Compared", "Karsilastirma"};
constexpr LocalText kRows{"%1 righe, %2", "%1 rows, %2", "%1 satir, %2"};
constexpr LocalText kChannel{"Canale", "Channel", "Kanal"};
constexpr LocalText kValue{"Valore", "Value", "Deger"};
constexpr LocalText kNoCursor{"Cursore: -", "Cursor: -", "Imlec: -"};
constexpr LocalText kCursor{"Cursore: %1 s", "Cursor: %1 s", "Imlec: %1 s"};

constexpr double kMinSpanMs = 1000;
// a marker chosen while the whole drive is in view is shown with this much around it
constexpr double kMarkerSpanMs = 60'000;

// distinct on white, so that the six channels shown at first never share a colour
const QColor kLineColours[] = {{0, 114, 189}, {217, 83, 25}, {119, 172, 48}, {126, 47, 142},
                               {200, 0, 0},   {0, 150, 150}, {237, 177, 32}, {90, 90, 90},
                               {255, 0, 200}, {140, 86, 75}, {30, 30, 200},  {0, 180, 90}};

QString clock(double ms)
{
    const qint64 s = static_cast<qint64>(ms / 1000);
    return QStringLiteral("%1:%2").arg(s / 60, 2, 10, QLatin1Char('0')).arg(s % 60, 2, 10, QLatin1Char('0'));
}

} // namespace

DatalogViewer::DatalogViewer(AppContext& context) : Form(context, WindowId::DatalogViewer)
{
    setObjectName(QStringLiteral("DatalogViewer"));
    auto button = [this](const char* name) {
        auto* b = new QPushButton(this);
        b->setObjectName(QString::fromLatin1(name));
        return b;
    };
    openButton = button("OpenDatalog");
    compareButton = button("CompareDatalog");
    uncompareButton = button("RemoveComparison");
    exitButton = button("Command1");
    fileLabel = new QLabel(this);
    fileLabel->setObjectName(QStringLiteral("FileName"));
    channelList = new QListWidget(this);
    channelList->setObjectName(QStringLiteral("Channels"));
    channelList->setMinimumWidth(190);
    channelList->setMaximumWidth(240);
    markersTitle = new QLabel(this);
    markersTitle->setObjectName(QStringLiteral("MarkersTitle"));
    markerList = new QListWidget(this);
    markerList->setObjectName(QStringLiteral("Markers"));
    markerList->setMaximumWidth(240);
    markerList->setMaximumHeight(150);

    chart = new DatalogPlot(*this, this);
    chart->setMinimumSize(560, 360);
    timeScroll = new QScrollBar(Qt::Horizontal, this);
    timeScroll->setObjectName(QStringLiteral("TimeScroll"));
    scaleLabel = new QLabel(this);
    scaleLabel->setObjectName(QStringLiteral("Scales"));
    scaleLabel->setWordWrap(true);
    cursorLabel = new QLabel(this);
    cursorLabel->setObjectName(QStringLiteral("CursorTime"));
    cursorTable = new QTableWidget(0, 2, this);
    cursorTable->setObjectName(QStringLiteral("CursorValues"));
    cursorTable->verticalHeader()->hide();
    cursorTable->verticalHeader()->setDefaultSectionSize(20);
    cursorTable->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Stretch);
    cursorTable->setEditTriggers(QAbstractItemView::NoEditTriggers);
    cursorTable->setSelectionMode(QAbstractItemView::NoSelection);
    cursorTable->horizontalHeader()->setSectionResizeMode(1, QHeaderView::ResizeToContents);
    cursorTable->setMinimumWidth(270);
    cursorTable->setMaximumWidth(320);

    auto* top = new QHBoxLayout;
    top->addWidget(openButton);
    top->addWidget(compareButton);
    top->addWidget(uncompareButton);
    top->addWidget(fileLabel, 1);
    top->addWidget(exitButton);
    auto* left = new QVBoxLayout;
    left->addWidget(channelList, 1);
    left->addWidget(markersTitle);
    left->addWidget(markerList);
    auto* centre = new QVBoxLayout;
    centre->addWidget(chart, 1);
    centre->addWidget(timeScroll);
    centre->addWidget(scaleLabel);
    auto* side = new QVBoxLayout;
    side->addWidget(cursorLabel);
    side->addWidget(cursorTable, 1);
    auto* body = new QHBoxLayout;
    body->addLayout(left);
    body->addLayout(centre, 1);
    body->addLayout(side);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(body, 1);
    resize(1180, 620);

    connect(openButton, &QPushButton::clicked, this, &DatalogViewer::chooseFile);
    connect(compareButton, &QPushButton::clicked, this, &DatalogViewer::chooseComparison);
    connect(uncompareButton, &QPushButton::clicked, this, &DatalogViewer::removeComparison);
    connect(exitButton, &QPushButton::clicked, this, &Form::closeForm);
    connect(timeScroll, &QScrollBar::valueChanged, this, [this](int value) {
        if (updatingScroll_) return;
        // the last step goes to the very end, whatever the rounding of the unit
        setView(value == timeScroll->maximum() ? 1e300 : value * scrollUnitMs_, viewSpan_);
    });
    connect(channelList, &QListWidget::itemChanged, this, [this](QListWidgetItem* item) {
        setChannelShown(channelList->row(item), item->checkState() == Qt::Checked);
    });
    connect(markerList, &QListWidget::itemClicked, this,
            [this](QListWidgetItem* item) { goToMarker(markerList->row(item)); });
    connect(markerList, &QListWidget::itemActivated, this,
            [this](QListWidgetItem* item) { goToMarker(markerList->row(item)); });
}

std::span<const Caption> DatalogViewer::captions() const
{
    return kCaptions;
}

void DatalogViewer::onLoad()
{
    // each visit starts empty; the file is chosen after the window is up
    log_ = Datalog();
    compared_ = Datalog();
    showLog();
}

void DatalogViewer::chooseFile()
{
    if (!ctx.fileDialogs) return;
    const QString path =
        ctx.fileDialogs->openFile(this, text(kDialogTitle), datalogFolder(), text(datalog_texts::fileFilter));
    if (!path.isEmpty()) openFile(path);
}

bool DatalogViewer::openFile(const QString& path)
{
    return showDatalog(readDatalog(path), QFileInfo(path).fileName());
}

// Says why a file shows nothing; false when there is something to show.
bool DatalogViewer::refused(const Datalog& log, const QString& name)
{
    if (log.status == Datalog::Status::Unreadable) {
        ctx.showMessage(windowTitle(), text(datalog_texts::cannotOpen).arg(name, log.errorText));
        return true;
    }
    if (log.status == Datalog::Status::NotDatalog) {
        ctx.showMessage(windowTitle(), text(kNotDatalog).arg(name));
        return true;
    }
    return false;
}

// What was left out of a log that is shown, one line per reason; empty when it is whole.
QString DatalogViewer::problemsOf(const Datalog& log, const QString& name) const
{
    // the file's name goes in with the numbers at once: a "%1" in it stays as it is
    const QString rows = QString::number(log.rowCount());
    QStringList lines;
    if (log.status == Datalog::Status::Truncated) lines << text(kTruncated).arg(name, rows);
    if (log.skippedRows == 1)
        lines << text(kSkippedOne).arg(name, QString::number(log.firstSkippedRow), rows);
    else if (log.skippedRows > 1)
        lines << text(kSkipped).arg(name, QString::number(log.skippedRows),
                                    QString::number(log.firstSkippedRow), rows);
    else if (log.status == Datalog::Status::Damaged)
        lines << text(kDamaged).arg(name, QString::number(log.damagedRow),
                                    QString::number(log.damagedRow - 1));
    return lines.join(QLatin1Char('\n'));
}

bool DatalogViewer::showDatalog(Datalog log, const QString& name)
{
    if (refused(log, name)) return false;
    log_ = std::move(log);
    compared_ = Datalog(); // a comparison belongs to the log it was laid over
    showLog();
    fileName_ = name;
    showFileLine();
    if (const QString problems = problemsOf(log_, name); !problems.isEmpty())
        ctx.showMessage(windowTitle(), problems);
    return true;
}

void DatalogViewer::chooseComparison()
{
    if (!ctx.fileDialogs || log_.rowCount() == 0) return;
    const QString path = ctx.fileDialogs->openFile(this, text(kCompareTitle), datalogFolder(),
                                                   text(datalog_texts::fileFilter));
    if (!path.isEmpty()) compareWith(path);
}

bool DatalogViewer::compareWith(const QString& path)
{
    return showComparison(readDatalog(path), QFileInfo(path).fileName());
}

bool DatalogViewer::showComparison(Datalog log, const QString& name)
{
    if (log_.rowCount() == 0 || refused(log, name)) return false;
    if (log.rowCount() == 0) {
        ctx.showMessage(windowTitle(), text(kNoRows).arg(name));
        return false;
    }
    compared_ = std::move(log);
    comparedName_ = name;
    comparedOffsetMs_ = compared_.timesMs.empty() ? 0 : log_.timesMs.front() - compared_.timesMs.front();
    comparedOwn_.assign(log_.channels.size(), {qInf(), -qInf()});
    for (size_t c = 0; c < log_.channels.size(); ++c) {
        const int other = compared_.channelIndex(log_.channels[c].key);
        if (other < 0) continue;
        for (double v : compared_.values[static_cast<size_t>(other)]) {
            comparedOwn_[c].first = std::min(comparedOwn_[c].first, v); // NaN: left as it was
            comparedOwn_[c].second = std::max(comparedOwn_[c].second, v);
        }
    }
    if (const QString problems = problemsOf(compared_, name); !problems.isEmpty())
        ctx.showMessage(windowTitle(), problems);
    cursorTable->setColumnCount(compared_.rowCount() > 0 ? 3 : 2);
    cursorTable->horizontalHeader()->setSectionResizeMode(cursorTable->columnCount() - 1,
                                                          QHeaderView::ResizeToContents);
    onLanguageChanged();
    updateScales();
    redraw();
    return true;
}

void DatalogViewer::removeComparison()
{
    compared_ = Datalog();
    comparedName_.clear();
    comparedOwn_.clear();
    cursorTable->setColumnCount(2);
    onLanguageChanged();
    updateScales();
    redraw();
}

void DatalogViewer::showFileLine()
{
    QString line =
        fileName_.isEmpty() ? text(kNoFile) : text(kRows).arg(QString::number(log_.rowCount()), fileName_);
    if (compared_.rowCount() > 0) line += QStringLiteral(" - ") + text(kComparedWith).arg(comparedName_);
    fileLabel->setText(line);
    compareButton->setEnabled(log_.rowCount() > 0);
    uncompareButton->setEnabled(compared_.rowCount() > 0);
}

void DatalogViewer::onLanguageChanged()
{
    // the same recording, zoom and cursor: only its words change
    showFileLine();
    QStringList headers{text(kChannel), text(kValue)};
    if (compared_.rowCount() > 0) headers << text(kCompared);
    cursorTable->setHorizontalHeaderLabels(headers);
    for (size_t c = 0; c < log_.channels.size(); ++c) {
        const QString title = datalogColumnTitle(log_.channels[c], language());
        const int row = static_cast<int>(c);
        channelList->item(row)->setText(title);
        cursorTable->item(row, 0)->setText(title);
    }
    updateCursorTable();
    chart->update();
}

double DatalogViewer::totalMs() const
{
    return log_.timesMs.empty() ? 0 : log_.timesMs.back();
}

void DatalogViewer::showLog()
{
    const QSignalBlocker block(channelList);
    channelList->clear();
    cursorTable->setRowCount(0);
    cursorTable->setColumnCount(2);
    fileName_.clear();
    comparedName_.clear();
    comparedOwn_.clear();
    showFileLine();

    const Language lang = language();
    cursorTable->setHorizontalHeaderLabels({text(kChannel), text(kValue)});
    cursorTable->setRowCount(static_cast<int>(log_.channels.size()));
    const size_t channels = log_.channels.size();
    fuelChannel_ = log_.channelIndex("fuel");
    own_.assign(channels, {qInf(), -qInf()});
    for (size_t c = 0; c < channels; ++c)
        for (double v : log_.values[c]) { // NaN ("NC") compares false both ways
            if (v < own_[c].first) own_[c].first = v;
            if (v > own_[c].second) own_[c].second = v;
        }
    colours_.assign(channels, {});
    shown_.assign(channels, false);
    size_t firstColours = 0, otherColours = 6;
    for (size_t c = 0; c < channels; ++c) {
        const DatalogChannel& channel = log_.channels[c];
        const auto [low, high] = own_[c];
        const QString title = datalogColumnTitle(channel, lang);
        const size_t colour = channel.shownByDefault ? firstColours++ : otherColours++;
        colours_[c] = kLineColours[colour % std::size(kLineColours)];
        shown_[c] = channel.shownByDefault;

        auto* item = new QListWidgetItem(title, channelList);
        item->setFlags(Qt::ItemIsUserCheckable | Qt::ItemIsEnabled);
        item->setCheckState(channel.shownByDefault ? Qt::Checked : Qt::Unchecked);
        item->setForeground(colours_[c]);
        if (low <= high) item->setToolTip(QStringLiteral("%1 .. %2").arg(low).arg(high));
        auto* name = new QTableWidgetItem(title);
        name->setForeground(colours_[c]);
        cursorTable->setItem(static_cast<int>(c), 0, name);
        cursorTable->setItem(static_cast<int>(c), 1, new QTableWidgetItem(QString()));
        // words read back as NaN: neither a line nor a value (markers have their own list)
        item->setHidden(channel.text);
        cursorTable->setRowHidden(static_cast<int>(c), channel.text);
    }
    showMarkers();
    viewStart_ = 0;
    viewSpan_ = std::max(kMinSpanMs, totalMs());
    cursorMs_ = 0;
    cursorRow_ = log_.timesMs.empty() ? -1 : 0;
    updateScales();
    redraw();
    updateCursorTable();
}

void DatalogViewer::showMarkers()
{
    markerList->clear();
    for (size_t m = 0; m < log_.markers.size(); ++m) {
        const DatalogMarker& marker = log_.markers[m];
        new QListWidgetItem(
            QStringLiteral("%1  %2  %3").arg(QString::number(m + 1), clock(marker.timeMs), marker.text),
            markerList);
    }
}

void DatalogViewer::goToMarker(int index)
{
    if (index < 0 || static_cast<size_t>(index) >= log_.markers.size()) return;
    const double at = log_.markers[static_cast<size_t>(index)].timeMs;
    const double span = viewSpan_ >= totalMs() ? std::min(viewSpan_, kMarkerSpanMs) : viewSpan_;
    setView(at - span / 2, span);
    setCursorTime(at);
    if (markerList->currentRow() != index) markerList->setCurrentRow(index);
}

void DatalogViewer::setView(double startMs, double spanMs)
{
    const double total = std::max(kMinSpanMs, totalMs());
    viewSpan_ = std::clamp(spanMs, kMinSpanMs, total);
    viewStart_ = std::clamp(startMs, 0.0, total - viewSpan_);
    redraw();
}

void DatalogViewer::zoom(double factor, double anchorMs)
{
    const double span = viewSpan_ * factor;
    const double at = (anchorMs - viewStart_) / viewSpan_;
    setView(anchorMs - at * std::clamp(span, kMinSpanMs, std::max(kMinSpanMs, totalMs())), span);
}

void DatalogViewer::scrollBy(double fraction)
{
    setView(viewStart_ + fraction * viewSpan_, viewSpan_);
}

void DatalogViewer::updateScrollBar()
{
    updatingScroll_ = true;
    const double total = std::max(kMinSpanMs, totalMs());
    scrollUnitMs_ = std::max(1.0, total / 1e9);
    const auto steps = [this](double ms) { return static_cast<int>(std::llround(ms / scrollUnitMs_)); };
    timeScroll->setRange(0, steps(total - viewSpan_));
    timeScroll->setPageStep(std::max(1, steps(viewSpan_)));
    timeScroll->setSingleStep(std::max(1, steps(viewSpan_ / 10)));
    timeScroll->setValue(steps(viewStart_));
    updatingScroll_ = false;
}

// The chart draws what is in view when it paints, so a step of zoom or scroll costs only a repaint.
void DatalogViewer::redraw()
{
    chart->update();
    updateScrollBar();
}

// One pane per unit over the channels shown, so that gas and petrol or the two oxygen sensors
// compare on the same scale; each pane spans the values of its channels over the whole drive (and
// the compared one), so the scale stays put while scrolling.
void DatalogViewer::updateScales()
{
    panes_.clear();
    for (size_t c = 0; c < log_.channels.size(); ++c) {
        if (!shown_[c]) continue;
        const QString unit = QString::fromUtf8(log_.channels[c].unit);
        auto pane = std::find_if(panes_.begin(), panes_.end(), [&](const Pane& p) { return p.unit == unit; });
        if (pane == panes_.end()) pane = panes_.insert(panes_.end(), Pane{unit, {}, qInf(), -qInf()});
        pane->channels.push_back(static_cast<int>(c));
        pane->low = std::min(pane->low, own_[c].first);
        pane->high = std::max(pane->high, own_[c].second);
        if (c < comparedOwn_.size()) {
            pane->low = std::min(pane->low, comparedOwn_[c].first);
            pane->high = std::max(pane->high, comparedOwn_[c].second);
        }
    }
    QStringList scales;
    for (Pane& pane : panes_) {
        if (pane.low > pane.high) { // no value at all: an empty pane, and no range to tell
            pane.low = pane.high = 0;
            continue;
        }
        if (pane.unit.isEmpty()) continue;
        scales << QStringLiteral("%1: %2 .. %3")
                      .arg(pane.unit, QString::number(pane.low), QString::number(pane.high));
    }
    scaleLabel->setText(scales.join(QStringLiteral("    ")));
}

void DatalogViewer::setCursorTime(double ms)
{
    const auto& t = log_.timesMs;
    if (t.empty()) return;
    cursorMs_ = std::clamp(ms, 0.0, totalMs());
    // the reply in force at that time: the last one at or before it
    const auto it = std::upper_bound(t.begin(), t.end(), cursorMs_);
    cursorRow_ = static_cast<int>(std::max<std::ptrdiff_t>(0, it - t.begin() - 1));
    updateCursorTable();
    chart->update();
}

QString DatalogViewer::valueText(int channel, double value) const
{
    if (std::isnan(value)) return QStringLiteral("NC");
    if (channel == fuelChannel_ && (value == 0 || value == 1))
        return text(value == 0 ? datalog_plot_texts::kPetrol : datalog_plot_texts::kGas);
    return QString::number(value);
}

void DatalogViewer::updateCursorTable()
{
    if (cursorRow_ < 0) {
        cursorLabel->setText(text(kNoCursor));
        return;
    }
    cursorLabel->setText(text(kCursor).arg(QString::number(cursorMs_ / 1000, 'f', 1)) +
                         QStringLiteral("  (") + clock(cursorMs_) + QLatin1Char(')'));
    // the compared drive at the same time since its start
    int comparedRow = -1;
    if (const auto& t = compared_.timesMs; !t.empty()) {
        const auto it = std::upper_bound(t.begin(), t.end(), cursorMs_ - comparedOffsetMs_);
        // nothing in force before its first row or after its last
        if (it != t.begin() && cursorMs_ - comparedOffsetMs_ <= t.back())
            comparedRow = static_cast<int>(it - t.begin() - 1);
    }
    for (size_t c = 0; c < log_.channels.size(); ++c) {
        if (log_.channels[c].text) continue;
        const int row = static_cast<int>(c);
        cursorTable->item(row, 1)->setText(valueText(row, log_.values[c][static_cast<size_t>(cursorRow_)]));
        if (cursorTable->columnCount() < 3) continue;
        const int other = compared_.channelIndex(log_.channels[c].key);
        QString shown;
        if (other >= 0 && comparedRow >= 0)
            shown = valueText(row,
                              compared_.values[static_cast<size_t>(other)][static_cast<size_t>(comparedRow)]);
        if (!cursorTable->item(row, 2)) cursorTable->setItem(row, 2, new QTableWidgetItem);
        cursorTable->item(row, 2)->setText(shown);
    }
}

void DatalogViewer::setChannelShown(int channel, bool shown)
{
    if (channel < 0 || static_cast<size_t>(channel) >= shown_.size() ||
        log_.channels[static_cast<size_t>(channel)].text)
        return;
    shown_[static_cast<size_t>(channel)] = shown;
    updateScales();
    QListWidgetItem* item = channelList->item(channel);
    if ((item->checkState() == Qt::Checked) != shown) {
        const QSignalBlocker block(channelList);
        item->setCheckState(shown ? Qt::Checked : Qt::Unchecked);
    }
    chart->update(); // the scale of its unit may have changed
}

bool DatalogViewer::channelShown(int channel) const
{
    return channel >= 0 && static_cast<size_t>(channel) < shown_.size() &&
           shown_[static_cast<size_t>(channel)];
}
