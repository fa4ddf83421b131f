#include "ui/common/datalog_recorder.h"

#include "ui/common/form.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QPushButton>
#include <QShortcut>

#include <algorithm>

namespace {

constexpr LocalText kRecord{"● Registra", "● Record", "● Kayit"};
constexpr LocalText kRecording{"■ Stop  %1  -  %2 righe", "■ Stop  %1  -  %2 rows",
                               "■ Durdur  %1  -  %2 satir"};
constexpr LocalText kRecordingTitle{"ORVANE - Registrazione", "ORVANE - Recording", "ORVANE - Kayit"};
constexpr LocalText kNoFolder{"Impossibile creare la cartella %1: la registrazione non parte.",
                              "Cannot create the folder %1: the recording does not start.",
                              "%1 klasoru olusturulamiyor: kayit baslamadi."};
constexpr LocalText kWriteFailed{
    "Registrazione interrotta: impossibile scrivere sul file %1 (%2). Righe salvate nel file: %3; la "
    "lettura della centralina continua.",
    "Recording stopped: cannot write to %1 (%2). Rows saved in the file: %3; the ECU is still being read.",
    "Kayit durduruldu: %1 dosyasina yazilamiyor (%2). Dosyaya kaydedilen satirlar: %3; ECU okunmaya "
    "devam ediyor."};

constexpr int kSavedWidth = 300;
constexpr LocalText kSaved{"Salvata: %1 (%2 righe) - apri", "Saved: %1 (%2 rows) - open",
                           "Kaydedildi: %1 (%2 satir) - ac"};

constexpr LocalText kMarker{"Marcatore (F9)", "Marker (F9)", "Isaret (F9)"};
constexpr LocalText kChangeoverState{"Commutazione: %1", "Change-over: %1", "Yakit degisimi: %1"};
constexpr LocalText kNowPetrol{"Ora a benzina", "Now on petrol", "Simdi benzinde"};
constexpr LocalText kNowGas{"Ora a gas", "Now on gas", "Simdi gazda"};
constexpr LocalText kChangeoverOver{"Commutazione finita, carburante invariato",
                                    "Change-over over, fuel unchanged", "Yakit degisimi bitti, yakit ayni"};

constexpr int kFlushMs = 1000;

// The ECU's state byte while it changes fuel over.
bool changingOver(int ecuState)
{
    return ecuState >= 1 && ecuState <= 5;
}

} // namespace

QString newDatalogPath(const QString& folder, const QDateTime& now, int attempt)
{
    QString name = now.toString(QStringLiteral("yyyy-MM-dd_HH-mm-ss"));
    if (attempt > 1) name += QStringLiteral("_%1").arg(attempt);
    return folder + QLatin1Char('/') + name + QStringLiteral(".csv");
}

DatalogRecorder::DatalogRecorder(AppContext& context, Form& window, DatalogSource source,
                                 std::vector<int> replyCodes, std::function<void(std::vector<int>&)> row)
    : QObject(&window), ctx(context), window_(window), source_(source), codes_(std::move(replyCodes)),
      row_(std::move(row))
{
    setObjectName(QStringLiteral("datalogRecorder"));
    button_ = new QPushButton(&window);
    button_->setObjectName(QStringLiteral("DatalogRecord"));
    button_->setFocusPolicy(Qt::NoFocus);
    connect(button_, &QPushButton::clicked, this, &DatalogRecorder::toggle);
    // after a stop: where the drive went, and the way to look at it
    openButton_ = new QPushButton(&window);
    openButton_->setObjectName(QStringLiteral("DatalogOpen"));
    openButton_->setFocusPolicy(Qt::NoFocus);
    openButton_->hide();
    // the window keeps its width whatever the file is called and however long the drive: the record
    // button is as wide as its longest caption, the file name is shortened in the middle
    button_->setMinimumWidth(
        button_->fontMetrics().horizontalAdvance(QStringLiteral("■ Durdur  00:00  -  000000 satir")) + 24);
    openButton_->setMaximumWidth(kSavedWidth);
    connect(openButton_, &QPushButton::clicked, this, [this] {
        if (ctx.openDatalog) ctx.openDatalog(savedPath_);
    });
    flushTimer_.setInterval(kFlushMs);
    flushTimer_.setTimerType(Qt::PreciseTimer);
    markerButton_ = new QPushButton(&window);
    markerButton_->setObjectName(QStringLiteral("DatalogMarker"));
    markerButton_->setFocusPolicy(Qt::NoFocus);
    connect(markerButton_, &QPushButton::clicked, this, &DatalogRecorder::addNumberedMarker);
    // F9: no window uses it, and it works whichever box has the focus
    auto* markerKey = new QShortcut(QKeySequence(Qt::Key_F9), &window);
    connect(markerKey, &QShortcut::activated, this, &DatalogRecorder::addNumberedMarker);
    connect(&flushTimer_, &QTimer::timeout, this, &DatalogRecorder::flushTick);
    connect(&ctx.dispatcher, &ReplyDispatcher::frameHandled, this, &DatalogRecorder::onReply);
    connect(&ctx.link, &Link::lost, this, &DatalogRecorder::stop);
    connect(&window, &Form::languageApplied, this, &DatalogRecorder::showState);
    // a fresh visit starts with the button idle, in the language chosen now; closing ends the file
    connect(&window, &Form::loaded, this, [this] {
        openButton_->hide();
        showState();
    });
    connect(&window, &Form::unloaded, this, &DatalogRecorder::stop);
    const auto channels = datalogChannels(source);
    values_.reserve(channels.size());
    int texts = 0;
    for (size_t c = 0; c < channels.size(); ++c) {
        const std::string_view key = channels[c].key;
        if (key == "fuel") fuelColumn_ = static_cast<int>(c);
        if (key == "ecuState") stateColumn_ = static_cast<int>(c);
        if (key == "ecuStateName") stateNameText_ = texts;
        if (key == "marker") markerText_ = texts;
        texts += channels[c].text ? 1 : 0;
    }
    texts_.resize(static_cast<size_t>(texts));
    showState();
}

DatalogRecorder* DatalogRecorder::of(QWidget* window)
{
    return window ? window->findChild<DatalogRecorder*>(QStringLiteral("datalogRecorder")) : nullptr;
}

void DatalogRecorder::toggle()
{
    if (isRecording())
        stop();
    else
        start();
}

void DatalogRecorder::start()
{
    if (isRecording()) return;
    const Language language = languageOf(ctx.state.languageIndex);
    QString path;
    DatalogWriter::Result result = DatalogWriter::Result::Failed;
    if (nextPath) {
        path = nextPath();
        result = writer_.open(path, source_, language, datalogInfo(ctx.state, ctx.link.portName()));
    } else {
        bool made = false;
        const QString folder = datalogFolder(&made);
        if (!made) {
            ctx.showMessage(kRecordingTitle.in(language), kNoFolder.in(language).arg(folder));
            showState();
            return;
        }
        const QDateTime now = QDateTime::currentDateTime();
        for (int attempt = 1; attempt < 100; ++attempt) {
            path = newDatalogPath(folder, now, attempt);
            result = writer_.open(path, source_, language, datalogInfo(ctx.state, ctx.link.portName()));
            if (result != DatalogWriter::Result::Exists) break;
        }
    }
    if (result != DatalogWriter::Result::Ok) {
        ctx.showMessage(kRecordingTitle.in(language),
                        datalog_texts::cannotCreate.in(language).arg(path, writer_.errorText(language)));
        showState();
        return;
    }
    clock_.start();
    lastFlushMs_ = 0;
    pendingMarkers_.clear();
    markerCount_ = 0;
    lastFuel_ = -1;
    lastState_ = -1;
    flushTimer_.start();
    openButton_->hide();
    showState();
}

void DatalogRecorder::stop()
{
    if (!isRecording()) return;
    if (!writer_.flush()) {
        fail();
        return;
    }
    flushTimer_.stop();
    savedPath_ = writer_.path();
    const qint64 rows = writer_.rows();
    writer_.close();
    const Language language = languageOf(ctx.state.languageIndex);
    const QString saved = kSaved.in(language).arg(QFileInfo(savedPath_).fileName(), QString::number(rows));
    openButton_->setText(openButton_->fontMetrics().elidedText(saved, Qt::ElideMiddle, kSavedWidth - 16));
    openButton_->setToolTip(QDir::toNativeSeparators(savedPath_));
    openButton_->show();
    showState();
}

void DatalogRecorder::onReply(int code)
{
    if (!isRecording() || std::find(codes_.begin(), codes_.end(), code) == codes_.end()) return;
    values_.clear();
    row_(values_);
    markChangeover();
    for (QString& t : texts_)
        t.clear();
    if (stateNameText_ >= 0 && stateColumn_ >= 0 && static_cast<size_t>(stateColumn_) < values_.size())
        texts_[static_cast<size_t>(stateNameText_)] =
            datalogStateName(values_[static_cast<size_t>(stateColumn_)], ctx.state);
    if (markerText_ >= 0)
        texts_[static_cast<size_t>(markerText_)] = pendingMarkers_.join(QStringLiteral(" | "));
    pendingMarkers_.clear();
    const qint64 now = clock_.elapsed();
    writer_.append(now, values_, texts_);
    // a busy event loop may hold the timer back: the second is kept either way
    if (now - lastFlushMs_ >= kFlushMs) flushTick();
}

void DatalogRecorder::markChangeover()
{
    const auto at = [this](int column) {
        return column >= 0 && static_cast<size_t>(column) < values_.size()
                   ? values_[static_cast<size_t>(column)]
                   : -1;
    };
    const int fuel = at(fuelColumn_);
    const int ecuState = at(stateColumn_);
    const Language language = languageOf(ctx.state.languageIndex);
    if (lastState_ >= 0 && ecuState != lastState_ && changingOver(ecuState))
        addMarker(kChangeoverState.in(language).arg(datalogStateName(ecuState, ctx.state)));
    if (lastFuel_ >= 0 && fuel != lastFuel_)
        addMarker((fuel == 0 ? kNowPetrol : kNowGas).in(language));
    else if (lastState_ >= 0 && changingOver(lastState_) && !changingOver(ecuState))
        addMarker(kChangeoverOver.in(language));
    lastFuel_ = fuel;
    lastState_ = ecuState;
}

void DatalogRecorder::addMarker(const QString& text)
{
    if (isRecording()) pendingMarkers_ << text;
}

void DatalogRecorder::addNumberedMarker()
{
    if (isRecording()) addMarker(QString::number(++markerCount_));
}

void DatalogRecorder::flushTick()
{
    if (!isRecording()) return;
    lastFlushMs_ = clock_.elapsed();
    if (!writer_.flush()) {
        fail();
        return;
    }
    showState();
}

void DatalogRecorder::fail()
{
    flushTimer_.stop();
    const Language language = languageOf(ctx.state.languageIndex);
    const QString path = writer_.path();
    const QString reason = writer_.errorText(language);
    const qint64 saved = writer_.savedRows();
    writer_.close();
    showState();
    ctx.showMessage(kRecordingTitle.in(language),
                    kWriteFailed.in(language).arg(path, reason, QString::number(saved)));
}

void DatalogRecorder::showState()
{
    const Language language = languageOf(ctx.state.languageIndex);
    button_->setEnabled(ctx.state.offlineMode == 0);
    markerButton_->setText(kMarker.in(language));
    markerButton_->setEnabled(isRecording());
    if (!isRecording()) {
        button_->setText(kRecord.in(language));
        button_->setStyleSheet(QString());
        return;
    }
    const qint64 seconds = clock_.elapsed() / 1000;
    const QString elapsed = QStringLiteral("%1:%2")
                                .arg(seconds / 60, 2, 10, QLatin1Char('0'))
                                .arg(seconds % 60, 2, 10, QLatin1Char('0'));
    button_->setText(kRecording.in(language).arg(elapsed).arg(writer_.rows()));
    button_->setStyleSheet(QStringLiteral("QPushButton { color: white; background: rgb(192,0,0); }"));
}
