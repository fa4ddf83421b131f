#include "link/ecu_finder.h"

#include "link/frames.h"

EcuFinder::EcuFinder(QObject* parent) : QObject(parent)
{
    resend_.setSingleShot(true);
    giveUp_.setSingleShot(true);
    connect(&link_, &Link::received, &dispatcher_, &ReplyDispatcher::onSerialEvent);
    connect(&dispatcher_, &ReplyDispatcher::versionReceived, this, [this](const QString& version) {
        if (running_ && link_.isOpen()) endPort(version);
    });
    connect(&resend_, &QTimer::timeout, this, &EcuFinder::ask);
    connect(&giveUp_, &QTimer::timeout, this, [this] { endPort({}); });
    // a port that goes away while asked has not answered
    connect(&link_, &Link::lost, this, [this] {
        if (running_) endPort({});
    });
}

void EcuFinder::start(const QStringList& ports, const QString& settings, int waitMs)
{
    cancel();
    queue_ = ports;
    queue_.removeDuplicates();
    settings_ = settings;
    answers_.clear();
    giveUp_.setInterval(waitMs);
    resend_.setInterval(waitMs / 2);
    running_ = true;
    // each port from the event loop: the window that started the search keeps being drawn
    QTimer::singleShot(0, this, &EcuFinder::next);
}

void EcuFinder::cancel()
{
    resend_.stop();
    giveUp_.stop();
    link_.close();
    queue_.clear();
    running_ = false;
}

void EcuFinder::next()
{
    if (!running_) return;
    while (!queue_.isEmpty()) {
        current_ = queue_.takeFirst();
        emit probing(current_);
        // a port that cannot be opened (missing, busy, not ours) has no ECU to ask
        if (!link_.open(current_, settings_)) continue;
        state_.versionReceived = 0;
        ask();
        giveUp_.start();
        return;
    }
    running_ = false;
    emit finished(answers_);
}

void EcuFinder::ask()
{
    if (link_.isOpen() && link_.send(frames::readVersion())) resend_.start();
}

void EcuFinder::endPort(const QString& version)
{
    resend_.stop();
    giveUp_.stop();
    link_.close();
    if (!version.isEmpty()) answers_.append({current_, version});
    QTimer::singleShot(0, this, &EcuFinder::next);
}
