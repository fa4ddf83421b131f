#include "ui/datalog/datalog_viewer.h"

#include "ui/common/file_dialogs.h"

#include <QChart>
#include <QChartView>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineSeries>
#include <QListWidget>
#include <QPushButton>
#include <QScrollBar>
#include <QSplitter>
#include <QTableWidget>
#include <QVBoxLayout>
#include <QValueAxis>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

namespace {

const Caption kCaptions[] = {
    {kTitle, {"ORVANE - Visualizza registrazione", "ORVANE - Datalog viewer", "ORVANE - Kayit izleme"}},
    {"Command1", shared_texts::exit},
    {"OpenDatalog", {"Apri registrazione...", "Open datalog...", "Kayit ac..."}},
};

constexpr LocalText kNoFile{"Nessuna registrazione aperta", "No datalog open", "Acik kayit yok"};
constexpr LocalText kDialogTitle{"Apri registrazione", "Open datalog", "Kayit ac"};
constexpr LocalText kFilter{"Registrazioni (*.csv)", "Datalogs (*.csv)", "Kayitlar (*.csv)"};
constexpr LocalText kNotDatalog{"Il file %1 non e' una registrazione di ORVANE: non viene aperto.",
                                "The file %1 is not an ORVANE datalog: it is not opened.",
                                "%1 dosyasi bir ORVANE kaydi degil: acilmadi."};
constexpr LocalText kUnreadable{"Impossibile aprire il file %1 (%2).", "Cannot open the file %1 (%2).",
                                "%1 dosyasi acilamiyor (%2)."};
constexpr LocalText kTruncated{
    "Il file %1 e' interrotto a meta' di una riga: letto fino all'ultima riga completa (%2 righe).",
    "The file %1 is cut short in the middle of a row: read up to its last whole row (%2 rows).",
    "%1 dosyasi bir satirin ortasinda kesilmis: son tam satira kadar okundu (%2 satir)."};
constexpr LocalText kDamaged{"Il file %1 e' danneggiato alla riga %2: letto fino alla riga %3.",
                             "The file %1 is damaged at row %2: read up to row %3.",
                             "%1 dosyasi %2. satirda bozuk: %3. satira kadar okundu."};
constexpr LocalText kRows{"%1 righe, %2", "%1 rows, %2", "%1 satir, %2"};
constexpr LocalText kChannel{"Canale", "Channel", "Kanal"};
constexpr LocalText kValue{"Valore", "Value", "Deger"};
constexpr LocalText kNoCursor{"Cursore: -", "Cursor: -", "Imlec: -"};
constexpr LocalText kCursor{"Cursore: %1 s", "Cursor: %1 s", "Imlec: %1 s"};

constexpr double kMinSpanMs = 1000;

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

// The chart's mouse and keys: the wheel zooms (with Shift it scrolls), a drag scrolls, a click
// places the cursor, arrows scroll, + and - zoom, Home and End go to the ends.
class DatalogChartView : public QChartView {
public:
    DatalogChartView(QChart* chart, DatalogViewer& viewer, QWidget* parent)
        : QChartView(chart, parent), viewer_(viewer)
    {
        setObjectName(QStringLiteral("Chart"));
        setFocusPolicy(Qt::StrongFocus);
        setRenderHint(QPainter::Antialiasing, false);
        setRubberBand(QChartView::NoRubberBand);
    }

    double timeAt(QPointF pos) const
    {
        const QRectF area = chart()->plotArea();
        const double x = std::clamp((pos.x() - area.left()) / std::max(1.0, area.width()), 0.0, 1.0);
        return viewer_.viewStartMs() + x * viewer_.viewSpanMs();
    }

protected:
    void wheelEvent(QWheelEvent* event) override
    {
        const int steps = event->angleDelta().y() != 0 ? event->angleDelta().y() : event->angleDelta().x();
        if (steps == 0) return;
        if (event->modifiers() & Qt::ShiftModifier || event->angleDelta().y() == 0)
            viewer_.scrollBy(steps > 0 ? -0.1 : 0.1);
        else
            viewer_.zoom(steps > 0 ? 0.8 : 1.25, timeAt(event->position()));
        event->accept();
    }
    void mousePressEvent(QMouseEvent* event) override
    {
        if (event->button() != Qt::LeftButton) return;
        pressX_ = event->position().x();
        pressStart_ = viewer_.viewStartMs();
        dragging_ = false;
        event->accept();
    }
    void mouseMoveEvent(QMouseEvent* event) override
    {
        if (!(event->buttons() & Qt::LeftButton)) return;
        const double dx = event->position().x() - pressX_;
        if (std::abs(dx) > 4) dragging_ = true;
        if (!dragging_) return;
        const double msPerPixel = viewer_.viewSpanMs() / std::max(1.0, chart()->plotArea().width());
        viewer_.setView(pressStart_ - dx * msPerPixel, viewer_.viewSpanMs());
        event->accept();
    }
    void mouseReleaseEvent(QMouseEvent* event) override
    {
        if (event->button() != Qt::LeftButton) return;
        if (!dragging_) viewer_.setCursorTime(timeAt(event->position()));
        dragging_ = false;
        event->accept();
    }
    void keyPressEvent(QKeyEvent* event) override
    {
        const double centre = viewer_.viewStartMs() + viewer_.viewSpanMs() / 2;
        switch (event->key()) {
        case Qt::Key_Left:
            viewer_.scrollBy(-0.1);
            break;
        case Qt::Key_Right:
            viewer_.scrollBy(0.1);
            break;
        case Qt::Key_PageUp:
            viewer_.scrollBy(-1);
            break;
        case Qt::Key_PageDown:
            viewer_.scrollBy(1);
            break;
        case Qt::Key_Plus:
        case Qt::Key_Equal:
            viewer_.zoom(0.8, centre);
            break;
        case Qt::Key_Minus:
            viewer_.zoom(1.25, centre);
            break;
        case Qt::Key_Home:
            viewer_.setView(0, viewer_.viewSpanMs());
            break;
        case Qt::Key_End:
            viewer_.setView(1e300, viewer_.viewSpanMs());
            break;
        default:
            QChartView::keyPressEvent(event);
            return;
        }
        event->accept();
    }

private:
    DatalogViewer& viewer_;
    double pressX_ = 0;
    double pressStart_ = 0;
    bool dragging_ = false;
};

DatalogViewer::DatalogViewer(AppContext& context) : Form(context, WindowId::DatalogViewer)
{
    setObjectName(QStringLiteral("DatalogViewer"));
    openButton = new QPushButton(this);
    openButton->setObjectName(QStringLiteral("OpenDatalog"));
    exitButton = new QPushButton(this);
    exitButton->setObjectName(QStringLiteral("Command1"));
    fileLabel = new QLabel(this);
    fileLabel->setObjectName(QStringLiteral("FileName"));
    channelList = new QListWidget(this);
    channelList->setObjectName(QStringLiteral("Channels"));
    channelList->setMinimumWidth(190);
    channelList->setMaximumWidth(240);

    chart = new QChart;
    // each channel on its own scale: the list beside the chart, in the lines' colours, names them
    chart->legend()->hide();
    chart->setMargins(QMargins(4, 4, 4, 4));
    timeAxis = new QValueAxis(chart);
    timeAxis->setLabelFormat(QStringLiteral("%.0f"));
    timeAxis->setTitleText(QStringLiteral("s"));
    valueAxis = new QValueAxis(chart);
    valueAxis->setRange(0, 1);
    valueAxis->setLabelsVisible(false);
    valueAxis->setTickCount(5);
    chart->addAxis(timeAxis, Qt::AlignBottom);
    chart->addAxis(valueAxis, Qt::AlignLeft);
    cursorLine = new QLineSeries(chart);
    QPen cursorPen(Qt::black);
    cursorPen.setWidth(1);
    cursorPen.setStyle(Qt::DashLine);
    cursorLine->setPen(cursorPen);
    chart->addSeries(cursorLine);
    cursorLine->attachAxis(timeAxis);
    cursorLine->attachAxis(valueAxis);
    chartView = new DatalogChartView(chart, *this, this);
    chartView->setMinimumSize(640, 360);

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
    top->addWidget(fileLabel, 1);
    top->addWidget(exitButton);
    auto* centre = new QVBoxLayout;
    centre->addWidget(chartView, 1);
    centre->addWidget(timeScroll);
    centre->addWidget(scaleLabel);
    auto* side = new QVBoxLayout;
    side->addWidget(cursorLabel);
    side->addWidget(cursorTable, 1);
    auto* body = new QHBoxLayout;
    body->addWidget(channelList);
    body->addLayout(centre, 1);
    body->addLayout(side);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(body, 1);
    resize(1180, 620);

    // decimation follows the width of the plot
    connect(chart, &QChart::plotAreaChanged, this, [this](const QRectF& area) {
        if (std::abs(area.width() - drawnWidth_) > 20) redraw();
    });
    connect(openButton, &QPushButton::clicked, this, &DatalogViewer::chooseFile);
    connect(exitButton, &QPushButton::clicked, this, &Form::closeForm);
    connect(timeScroll, &QScrollBar::valueChanged, this, [this](int value) {
        if (updatingScroll_) return;
        // the last step goes to the very end, whatever the rounding of the unit
        setView(value == timeScroll->maximum() ? 1e300 : value * scrollUnitMs_, viewSpan_);
    });
    connect(channelList, &QListWidget::itemChanged, this, [this](QListWidgetItem* item) {
        setChannelShown(channelList->row(item), item->checkState() == Qt::Checked);
    });
}

std::span<const Caption> DatalogViewer::captions() const
{
    return kCaptions;
}

void DatalogViewer::onLoad()
{
    // each visit starts empty; the file is chosen after the window is up
    log_ = Datalog();
    showLog();
}

void DatalogViewer::chooseFile()
{
    if (!ctx.fileDialogs) return;
    const QString path = ctx.fileDialogs->openFile(this, text(kDialogTitle), datalogFolder(), text(kFilter));
    if (!path.isEmpty()) openFile(path);
}

bool DatalogViewer::openFile(const QString& path)
{
    Datalog log = readDatalog(path);
    const QString name = QFileInfo(path).fileName();
    if (log.status == Datalog::Status::Unreadable) {
        ctx.showMessage(windowTitle(), text(kUnreadable).arg(name, log.errorText));
        return false;
    }
    if (log.status == Datalog::Status::NotDatalog) {
        ctx.showMessage(windowTitle(), text(kNotDatalog).arg(name));
        return false;
    }
    log_ = std::move(log);
    showLog();
    fileName_ = name;
    showFileLine();
    // the file's name goes in with the numbers at once: a "%1" in it stays as it is
    const QString rows = QString::number(log_.rowCount());
    if (log_.status == Datalog::Status::Truncated)
        ctx.showMessage(windowTitle(), text(kTruncated).arg(name, rows));
    if (log_.status == Datalog::Status::Damaged)
        ctx.showMessage(windowTitle(), text(kDamaged).arg(name, QString::number(log_.damagedRow),
                                                          QString::number(log_.damagedRow - 1)));
    return true;
}

void DatalogViewer::showFileLine()
{
    fileLabel->setText(fileName_.isEmpty() ? text(kNoFile)
                                           : text(kRows).arg(QString::number(log_.rowCount()), fileName_));
}

void DatalogViewer::onLanguageChanged()
{
    // the same recording, zoom and cursor: only its words change
    showFileLine();
    cursorTable->setHorizontalHeaderLabels({text(kChannel), text(kValue)});
    for (size_t c = 0; c < log_.channels.size(); ++c) {
        const QString title = datalogColumnTitle(log_.channels[c], language());
        const int row = static_cast<int>(c);
        series[row]->setName(title);
        for (QLineSeries* piece : gapSegments_[c])
            piece->setName(title);
        channelList->item(row)->setText(title);
        cursorTable->item(row, 0)->setText(title);
    }
    updateCursorTable();
}

double DatalogViewer::totalMs() const
{
    return log_.timesMs.empty() ? 0 : log_.timesMs.back();
}

double DatalogViewer::toChart(int channel, double value) const
{
    const auto [low, high] = ranges_[static_cast<size_t>(channel)];
    // a margin so that the extremes stay visible
    return 0.04 + 0.92 * (value - low) / (high - low);
}

void DatalogViewer::showLog()
{
    for (QLineSeries* s : series) {
        chart->removeSeries(s);
        delete s;
    }
    for (auto& pieces : gapSegments_)
        for (QLineSeries* s : pieces) {
            chart->removeSeries(s);
            delete s;
        }
    gapSegments_.assign(log_.channels.size(), {});
    series.clear();
    ranges_.clear();
    const QSignalBlocker block(channelList);
    channelList->clear();
    cursorTable->setRowCount(0);
    fileName_.clear();
    showFileLine();

    const Language lang = language();
    cursorTable->setHorizontalHeaderLabels({text(kChannel), text(kValue)});
    cursorTable->setRowCount(static_cast<int>(log_.channels.size()));
    const size_t channels = log_.channels.size();
    own_.assign(channels, {qInf(), -qInf()});
    for (size_t c = 0; c < channels; ++c)
        for (double v : log_.values[c]) { // NaN ("NC") compares false both ways
            if (v < own_[c].first) own_[c].first = v;
            if (v > own_[c].second) own_[c].second = v;
        }
    ranges_.assign(channels, {0, 1});
    size_t firstColours = 0, otherColours = 6;
    for (size_t c = 0; c < channels; ++c) {
        const DatalogChannel& channel = log_.channels[c];
        const auto [low, high] = own_[c];
        const QString title = datalogColumnTitle(channel, lang);
        auto* s = new QLineSeries(chart);
        s->setName(title);
        const size_t colour = channel.shownByDefault ? firstColours++ : otherColours++;
        s->setPen(QPen(kLineColours[colour % std::size(kLineColours)], 1.5));
        chart->addSeries(s);
        s->attachAxis(timeAxis);
        s->attachAxis(valueAxis);
        s->setVisible(channel.shownByDefault);
        series << s;

        auto* item = new QListWidgetItem(title, channelList);
        item->setFlags(Qt::ItemIsUserCheckable | Qt::ItemIsEnabled);
        item->setCheckState(channel.shownByDefault ? Qt::Checked : Qt::Unchecked);
        item->setForeground(s->color());
        if (low <= high) item->setToolTip(QStringLiteral("%1 .. %2").arg(low).arg(high));
        auto* name = new QTableWidgetItem(title);
        name->setForeground(s->color());
        cursorTable->setItem(static_cast<int>(c), 0, name);
        cursorTable->setItem(static_cast<int>(c), 1, new QTableWidgetItem(QString()));
    }
    viewStart_ = 0;
    viewSpan_ = std::max(kMinSpanMs, totalMs());
    cursorMs_ = 0;
    cursorRow_ = log_.timesMs.empty() ? -1 : 0;
    updateScales();
    redraw();
    updateScrollBar();
    updateCursorTable();
}

void DatalogViewer::setView(double startMs, double spanMs)
{
    const double total = std::max(kMinSpanMs, totalMs());
    viewSpan_ = std::clamp(spanMs, kMinSpanMs, total);
    viewStart_ = std::clamp(startMs, 0.0, total - viewSpan_);
    redraw();
    updateScrollBar();
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

// Only what is in view goes to the chart, at most two points per pixel column (its lowest and
// highest), so a long drive scrolls as fast as a short one.
void DatalogViewer::redraw()
{
    timeAxis->setRange(viewStart_ / 1000, (viewStart_ + viewSpan_) / 1000);
    timeAxis->setLabelFormat(viewSpan_ < 20'000 ? QStringLiteral("%.1f") : QStringLiteral("%.0f"));
    drawnWidth_ = chart->plotArea().width();
    const auto& t = log_.timesMs;
    const auto first = std::lower_bound(t.begin(), t.end(), viewStart_);
    const auto last = std::upper_bound(t.begin(), t.end(), viewStart_ + viewSpan_);
    // one sample either side, so the lines run to the edges
    const size_t from = static_cast<size_t>(std::max<std::ptrdiff_t>(0, first - t.begin() - 1));
    const size_t to = std::min(t.size(), static_cast<size_t>(last - t.begin()) + 1);
    const int columns = std::max(100, static_cast<int>(drawnWidth_));
    const size_t perColumn = std::max<size_t>(1, (to - from) / static_cast<size_t>(columns));
    for (int c = 0; c < series.size(); ++c) {
        if (!series[c]->isVisible()) continue;
        const auto& v = log_.values[static_cast<size_t>(c)];
        // a value the window showed as "NC" breaks the line: a new piece starts after it
        size_t pieces = 0;
        points_.clear();
        auto endPiece = [&] {
            if (points_.isEmpty()) return;
            segment(c, pieces++)->replace(points_);
            points_.clear();
        };
        for (size_t i = from; i < to; i += perColumn) {
            const size_t end = std::min(to, i + perColumn);
            size_t lo = i, hi = i;
            bool gap = false;
            for (size_t k = i; k < end; ++k) {
                gap = gap || std::isnan(v[k]);
                if (v[k] < v[lo]) lo = k;
                if (v[k] > v[hi]) hi = k;
            }
            if (gap) {
                endPiece();
                continue;
            }
            const size_t a = std::min(lo, hi), b = std::max(lo, hi);
            points_.append(QPointF(t[a] / 1000, toChart(c, v[a])));
            if (b != a) points_.append(QPointF(t[b] / 1000, toChart(c, v[b])));
        }
        endPiece();
        const auto& extra = gapSegments_[static_cast<size_t>(c)];
        for (size_t k = pieces; k <= extra.size(); ++k) {
            QLineSeries* s = k == 0 ? series[c] : extra[k - 1];
            if (s->count() > 0) s->clear();
        }
    }
}

QLineSeries* DatalogViewer::segment(int channel, size_t index)
{
    if (index == 0) return series[channel];
    auto& extra = gapSegments_[static_cast<size_t>(channel)];
    while (extra.size() < index) {
        auto* s = new QLineSeries(chart);
        s->setName(series[channel]->name());
        s->setPen(series[channel]->pen());
        chart->addSeries(s);
        s->attachAxis(timeAxis);
        s->attachAxis(valueAxis);
        s->setVisible(series[channel]->isVisible());
        extra.push_back(s);
    }
    return extra[index - 1];
}

// One scale per unit over the channels shown, so that gas and petrol or the two oxygen sensors
// compare on screen; channels without a unit count different things, each on its own.
void DatalogViewer::updateScales()
{
    const size_t channels = log_.channels.size();
    for (size_t c = 0; c < channels; ++c) {
        double low = own_[c].first, high = own_[c].second;
        const char* unit = log_.channels[c].unit;
        for (size_t o = 0; o < channels && unit[0] != '\0'; ++o)
            if (channelShown(static_cast<int>(o)) && qstrcmp(unit, log_.channels[o].unit) == 0) {
                low = std::min(low, own_[o].first);
                high = std::max(high, own_[o].second);
            }
        if (low > high) low = high = 0; // no value at all
        if (low == high) {
            low -= 1;
            high += 1;
        }
        ranges_[c] = {low, high};
    }
    QStringList scales;
    QStringList units;
    for (size_t c = 0; c < log_.channels.size(); ++c) {
        const char* unit = log_.channels[c].unit;
        if (!channelShown(static_cast<int>(c)) || unit[0] == '\0') continue;
        const QString name = QString::fromUtf8(unit);
        if (units.contains(name)) continue;
        units << name;
        scales << QStringLiteral("%1: %2 .. %3")
                      .arg(name, QString::number(ranges_[c].first), QString::number(ranges_[c].second));
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
}

void DatalogViewer::updateCursorTable()
{
    if (cursorRow_ < 0) {
        cursorLine->clear();
        cursorLabel->setText(text(kNoCursor));
        return;
    }
    const double x = cursorMs_ / 1000;
    cursorLine->replace(QList<QPointF>{{x, 0.0}, {x, 1.0}});
    cursorLabel->setText(text(kCursor).arg(QString::number(x, 'f', 1)) + QStringLiteral("  (") +
                         clock(cursorMs_) + QLatin1Char(')'));
    for (size_t c = 0; c < log_.channels.size(); ++c) {
        const double v = log_.values[c][static_cast<size_t>(cursorRow_)];
        cursorTable->item(static_cast<int>(c), 1)
            ->setText(std::isnan(v) ? QStringLiteral("NC") : QString::number(v));
    }
}

void DatalogViewer::setChannelShown(int channel, bool shown)
{
    if (channel < 0 || channel >= series.size()) return;
    series[channel]->setVisible(shown);
    for (QLineSeries* s : gapSegments_[static_cast<size_t>(channel)])
        s->setVisible(shown);
    updateScales();
    QListWidgetItem* item = channelList->item(channel);
    if ((item->checkState() == Qt::Checked) != shown) {
        const QSignalBlocker block(channelList);
        item->setCheckState(shown ? Qt::Checked : Qt::Unchecked);
    }
    redraw(); // the scale of its unit may have changed
}

bool DatalogViewer::channelShown(int channel) const
{
    return channel >= 0 && channel < series.size() && series[channel]->isVisible();
}
