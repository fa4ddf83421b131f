#include "link/write_session.h"

#include "link/frames.h"
#include "link/parameter_labels.h"
#include "link/reply_dispatcher.h"

QString writeItemLabel(const WriteItem& item, Language language)
{
    return item.cell ? tableCellName(item.index, language) : parameterName(item.index, language);
}

WriteSession::WriteSession(SharedState& state, Link& link, ReplyDispatcher& dispatcher)
    : state_(state), link_(link)
{
    readBackTimer_.setInterval(kReadBackPeriodMs);
    readBackTimer_.setSingleShot(true);
    connect(&readBackTimer_, &QTimer::timeout, this, &WriteSession::readBackTick);
    connect(&dispatcher, &ReplyDispatcher::parameterConfirmed, this, &WriteSession::onConfirmed);
    connect(&dispatcher, &ReplyDispatcher::tableCellConfirmed, this, &WriteSession::onConfirmed);
    // the menu's handshake reads the ECU too: whoever reads it, the copy is the ECU's again
    connect(&dispatcher, &ReplyDispatcher::frameHandled, this, [this](int code) {
        if (unverified_ && (code == 1 || code == 8)) readBackTick();
    });
    // the link's own message comes first: the report, with the reason in it, is what stays on screen
    connect(&link, &Link::lost, this, [this](LinkProblem problem) {
        lostProblem_ = problem;
        QMetaObject::invokeMethod(this, &WriteSession::onLinkLost, Qt::QueuedConnection);
    });
}

bool WriteSession::begin(const Writer& writer, const std::vector<WriteValue>& values)
{
    // a walk over a copy that may not be the ECU's would skip what the ECU lacks
    if (busy() || unverified_) return false;
    owner_ = writer.owner;
    name_ = writer.name;
    claimed_ = false;
    order_.clear();
    wanted_.clear();
    for (const WriteValue& v : values) {
        if (v.item.cell)
            state_.pendingTableCells[v.item.index] = v.value;
        else
            state_.pendingParameterValues[v.item.index] = v.value;
        order_.push_back(v.item);
        wanted_.push_back(differs(v.item));
    }
    toWrite_ = static_cast<int>(std::count(wanted_.begin(), wanted_.end(), true));
    lostProblem_ = LinkProblem::None;
    // the progress names what goes out first, before the first tick
    current_.reset();
    const auto first = nextWanted();
    if (first != order_.end()) current_ = *first;
    sends_ = 0;
    sentOnWire_ = false;
    return true;
}

bool WriteSession::claim(const Writer& writer)
{
    // commands of their own rely on nothing the program holds of the ECU
    if (busy()) return false;
    owner_ = writer.owner;
    name_ = writer.name;
    claimed_ = true;
    order_.clear();
    wanted_.clear();
    toWrite_ = 0;
    current_.reset();
    sends_ = 0;
    return true;
}

void WriteSession::release(const QObject* owner)
{
    if (!claimed_ || owner_ != owner) return;
    owner_ = nullptr;
    claimed_ = false;
}

QString WriteSession::holderName(Language language) const
{
    return busy() ? name_.in(language) : QString();
}

int WriteSession::pending(const WriteItem& item) const
{
    return item.cell ? state_.pendingTableCells[item.index] : state_.pendingParameterValues[item.index];
}

bool WriteSession::differs(const WriteItem& item) const
{
    return item.cell ? state_.pendingTableCells[item.index] != state_.tableCells[item.index]
                     : state_.pendingParameterValues[item.index] != state_.parameterValues[item.index];
}

std::vector<WriteItem>::const_iterator WriteSession::nextWanted() const
{
    // only what the writer asked to change: a value that differs because the ECU's copy changed
    // meanwhile (another ECU read at a new connection) is not this writer's to send
    for (size_t i = 0; i < order_.size(); ++i)
        if (wanted_[i] && differs(order_[i])) return order_.begin() + static_cast<std::ptrdiff_t>(i);
    return order_.end();
}

int WriteSession::remaining() const
{
    if (!running()) return 0;
    int count = 0;
    for (size_t i = 0; i < order_.size(); ++i)
        count += wanted_[i] && differs(order_[i]);
    return count;
}

bool WriteSession::tick()
{
    if (!running()) return false;
    if (!link_.isOpen()) {
        finish(WriteReport::End::PortLost, lossReason());
        return false;
    }
    const auto next = nextWanted();
    if (next == order_.end()) {
        finish(WriteReport::End::Confirmed);
        return false;
    }
    if (current_ != *next) {
        current_ = *next;
        sends_ = 0;
        sentOnWire_ = false;
    }
    const std::optional<QByteArray> frame = next->cell ? frames::writeTableCell(next->index, pending(*next))
                                                       : frames::writeParameter(next->index, pending(*next));
    // a value its frame cannot carry is not sent; it waits here and is named after the patience
    if (frame && !link_.send(*frame)) {
        finish(WriteReport::End::PortLost, lossReason());
        return false;
    }
    if (frame) sentOnWire_ = true;
    ++sends_;
    emit progressed();
    return true;
}

void WriteSession::abandon()
{
    if (claimed_) return;
    if (running()) finish(WriteReport::End::Abandoned);
}

void WriteSession::giveUp()
{
    if (running()) finish(WriteReport::End::Unanswered);
}

void WriteSession::handOver(const Writer& writer)
{
    if (!running()) return;
    owner_ = writer.owner;
    name_ = writer.name;
}

void WriteSession::onConfirmed()
{
    if (!running()) return;
    // the last echo ends the write at once, not a tick later
    if (remaining() == 0) {
        finish(WriteReport::End::Confirmed);
        return;
    }
    // the progress names what goes out next
    const auto next = nextWanted();
    if (current_ != *next) {
        current_ = *next;
        sends_ = 0;
        sentOnWire_ = false;
    }
    emit progressed();
}

void WriteSession::onLinkLost()
{
    if (running()) finish(WriteReport::End::PortLost, lostProblem_);
}

LinkProblem WriteSession::lossReason() const
{
    if (lostProblem_ != LinkProblem::None) return lostProblem_;
    // closed without a word from the link (the serial settings dialog closes the port)
    return link_.problem() != LinkProblem::None ? link_.problem() : LinkProblem::PortNotOpen;
}

void WriteSession::finish(WriteReport::End end, LinkProblem problem)
{
    WriteReport report;
    report.writer = {owner_, name_};
    report.end = end;
    report.problem = problem;
    report.toWrite = toWrite_;
    report.ecuSilent = end != WriteReport::End::Confirmed && waitingForEcu();
    report.sendsOfLast = sends_;
    for (size_t i = 0; i < order_.size(); ++i) {
        const WriteItem& item = order_[i];
        if (!wanted_[i]) continue;
        if (!differs(item)) {
            report.confirmed.push_back(item);
            continue;
        }
        const bool onWire = current_ == item && sentOnWire_;
        (onWire ? report.maybeArrived : report.notSent).push_back(item);
        // nothing left wanted goes out with the next writer; a frame on the wire keeps its wanted
        // value so that its late echo is still taken (no echo comes through a port that is gone)
        if (onWire && end != WriteReport::End::PortLost) continue;
        if (item.cell)
            state_.pendingTableCells[item.index] = state_.tableCells[item.index];
        else
            state_.pendingParameterValues[item.index] = state_.parameterValues[item.index];
    }
    owner_ = nullptr;
    claimed_ = false;
    order_.clear();
    wanted_.clear();
    current_.reset();
    sends_ = 0;
    sentOnWire_ = false;
    if (end != WriteReport::End::Confirmed) startReadBack();
    emit ended(report);
}

QString WriteSession::progressLine(Language language) const
{
    static constexpr LocalText sending{"%1 di %2 valori confermati - invio: %3",
                                       "%1 of %2 values confirmed - sending: %3",
                                       "%2 degerden %1 onaylandi - gonderiliyor: %3"};
    static constexpr LocalText waiting{
        "%1 di %2 valori confermati - in attesa della centralina per %3 (inviato %4 volte)",
        "%1 of %2 values confirmed - waiting for the ECU to confirm %3 (sent %4 times)",
        "%2 degerden %1 onaylandi - beyin %3 icin bekleniyor (%4 kez gonderildi)"};
    static constexpr LocalText counting{"%1 di %2 valori confermati", "%1 of %2 values confirmed",
                                        "%2 degerden %1 onaylandi"};
    const QString confirmed = QString::number(confirmedCount());
    const QString all = QString::number(toWrite_);
    if (!current_) return counting.in(language).arg(confirmed, all);
    const QString what = writeItemLabel(*current_, language);
    if (waitingForEcu()) return waiting.in(language).arg(confirmed, all, what, QString::number(sends_));
    return sending.in(language).arg(confirmed, all, what);
}

void WriteSession::startReadBack(int periodMs)
{
    readBackTimer_.setInterval(periodMs);
    unverified_ = true;
    state_.parametersReceived = 0;
    state_.tableReceived = 0;
    readBackTick();
}

void WriteSession::readBackTick()
{
    readBackTimer_.stop();
    if (!unverified_) return;
    if (state_.parametersReceived == 1 && state_.tableReceived == 1) {
        unverified_ = false;
        // what the ECU holds now is known: nothing is wanted that it does not hold
        state_.pendingParameterValues = state_.parameterValues;
        state_.pendingTableCells = state_.tableCells;
        emit ecuVerified();
        return;
    }
    // a port that is gone is read as soon as it is open again, whoever opens it
    if (!link_.isOpen()) {
        readBackTimer_.start();
        return;
    }
    link_.send(state_.parametersReceived == 0 ? frames::readAllParameters() : frames::readTable());
    readBackTimer_.start();
}
