#pragma once

#include "link/reply_dispatcher.h"
#include "link/serial_link.h"
#include "link/shared_state.h"

#include <QList>
#include <QObject>
#include <QStringList>
#include <QTimer>

// Finds the ECU for the user: asks each port in turn for its version at the given settings and
// keeps those that answer. One port is open at a time, never the program's own link's; nothing
// but the version request is sent.
class EcuFinder : public QObject {
    Q_OBJECT
public:
    struct Answer {
        QString port;
        QString version; // "1.4.3"
    };

    explicit EcuFinder(QObject* parent = nullptr);

    // `waitMs` per port; the request goes out twice in that time, as a reply may be lost to an
    // adapter that has just been opened.
    void start(const QStringList& ports, const QString& settings, int waitMs = 800);
    void cancel();
    bool running() const { return running_; }

signals:
    void probing(const QString& port);
    void finished(const QList<EcuFinder::Answer>& answers);

private:
    void next();
    void ask();
    void endPort(const QString& version);

    SharedState state_;
    ReplyDispatcher dispatcher_{state_};
    SerialLink link_;
    QTimer resend_;
    QTimer giveUp_;
    QStringList queue_;
    QString settings_;
    QString current_;
    QList<Answer> answers_;
    bool running_ = false;
};
