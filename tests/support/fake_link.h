#pragma once

#include "link/link.h"

#include <QList>

// Records what windows send; opens or refuses as the test says.
class FakeLink : public Link {
    Q_OBJECT
public:
    bool send(const QByteArray& frame) override
    {
        if (!open_) return false;
        sent << frame;
        return true;
    }
    bool isOpen() const override { return open_; }
    bool open(const QString& portName, const QString& settings) override
    {
        ++openCalls;
        lastPort = portName;
        lastSettings = settings;
        open_ = openSucceeds;
        return open_;
    }
    void close() override
    {
        if (open_) ++closeCalls;
        open_ = false;
    }
    QString portName() const override { return lastPort; }
    LinkProblem problem() const override { return openSucceeds ? LinkProblem::None : refusal; }
    QString errorText() const override { return QString(); }

    // The adapter is pulled.
    void pull()
    {
        open_ = false;
        emit lost(LinkProblem::DeviceRemoved);
    }

    int count(int code) const
    {
        int n = 0;
        for (const QByteArray& f : sent)
            n += f.size() >= 5 && static_cast<unsigned char>(f[4]) == code;
        return n;
    }

    QList<QByteArray> sent;
    bool openSucceeds = true;
    LinkProblem refusal = LinkProblem::NoPermission; // why an open fails
    int openCalls = 0;
    int closeCalls = 0;
    QString lastPort;
    QString lastSettings;

private:
    bool open_ = false;
};
