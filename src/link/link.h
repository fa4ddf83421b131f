#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

// Why the line to the ECU could not be used. The windows word it in the user's language.
enum class LinkProblem {
    None,
    PortMissing,     // no such device
    PortBusy,        // already open
    NoPermission,    // not ours to open, or held by another program
    SettingsRefused, // the port does not take these settings
    NameTooLong,     // no device can have such a name
    DeviceRemoved,   // the adapter went away while open
    ReadFailed,
    WriteFailed,
    NoAnswer,    // the port is fine but the ECU does not answer
    PortNotOpen, // a request while no port was ever opened
    Other,       // the system's own words are in errorText()
};

// The one way out to the ECU. Windows hold a Link& and never see the serial port behind it.
class Link : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    // Writes the whole frame at once, never waits for a reply. False when the link is closed:
    // then nothing was sent.
    virtual bool send(const QByteArray& frame) = 0;
    virtual bool isOpen() const = 0;

    // False when the port cannot be opened with these settings; problem() says why.
    virtual bool open(const QString& portName, const QString& settings) = 0;
    virtual void close() = 0;
    virtual QString portName() const = 0;
    virtual LinkProblem problem() const = 0;
    // The system's description of the last problem, for LinkProblem::Other.
    virtual QString errorText() const = 0;

signals:
    // Everything received so far, in one piece, for the reply dispatcher.
    void received(const QByteArray& bytes);
    // What went out on the line (for a trace); a write cut short gives the part that went.
    void sent(const QByteArray& bytes);
    // The port went away while open (adapter pulled, device closed); the link is closed now.
    void lost(LinkProblem problem);
};
