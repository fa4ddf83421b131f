#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

// The one way out to the ECU. Windows hold a Link& and never see the serial port behind it.
class Link : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    // Writes the whole frame at once, never waits for a reply. False when the link is closed:
    // then nothing was sent.
    virtual bool send(const QByteArray& frame) = 0;
    virtual bool isOpen() const = 0;

    // False when the port cannot be opened with these settings; errorText() says why.
    virtual bool open(const QString& portName, const QString& settings) = 0;
    virtual void close() = 0;
    virtual QString portName() const = 0;
    virtual QString errorText() const = 0;

signals:
    // Everything received so far, in one piece, for the reply dispatcher.
    void received(const QByteArray& bytes);
    // The port went away while open (adapter pulled, device closed); the link is closed now.
    void lost(const QString& reason);
};
