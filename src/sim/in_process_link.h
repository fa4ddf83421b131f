#pragma once

#include "link/link.h"

class VirtualEcu;

// The virtual ECU in this process, on the caller's clock: each request is answered at once and its
// reply reaches whoever listens before send() returns. For running the windows on simulated time.
class InProcessLink : public Link {
public:
    InProcessLink(VirtualEcu& ecu, const qint64& nowMs) : ecu_(ecu), now_(nowMs) {}

    bool send(const QByteArray& frame) override;
    bool isOpen() const override { return true; }
    bool open(const QString&, const QString&) override { return true; }
    void close() override {}
    QString portName() const override { return QStringLiteral("virtual"); }
    LinkProblem problem() const override { return LinkProblem::None; }
    QString errorText() const override { return {}; }

private:
    VirtualEcu& ecu_;
    const qint64& now_;
};
