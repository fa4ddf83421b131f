#pragma once

#include "link/link.h"
#include "link/serial_ports.h"

#include <QList>
#include <QSerialPort>

#include <optional>

// "9600,n,8,1": baud, parity n/o/e/m/s, data bits 5..8, stop bits 1, 1.5 or 2.
struct SerialSettings {
    qint32 baudRate = 9600;
    QSerialPort::Parity parity = QSerialPort::NoParity;
    QSerialPort::DataBits dataBits = QSerialPort::Data8;
    QSerialPort::StopBits stopBits = QSerialPort::OneStop;
};

std::optional<SerialSettings> parseSerialSettings(const QString& text);

// Link over a serial port. Received bytes are handed on (signal `received`): whole frames as soon
// as they are in, however many one read holds, each chunk of them back to back, and whatever stood
// before them (noise, a reply that lost bytes) as a piece of its own; after each send,
// what had arrived before it (once the sending handler has returned) except a frame still
// arriving, which waits for its rest; and everything whenever 150 or more bytes wait.
class SerialLink : public Link {
    Q_OBJECT
public:
    explicit SerialLink(QObject* parent = nullptr);
    ~SerialLink() override;

    // False when the port is missing, busy, not ours to open, or cannot take the settings;
    // problem() then says why.
    bool open(const QString& portName, const QString& settings) override;
    void close() override;

    bool send(const QByteArray& frame) override;
    bool isOpen() const override;

    QString portName() const override { return portName_; }
    LinkProblem problem() const override { return problem_; }
    QString errorText() const override { return errorText_; }

    static constexpr int kDeliveryThreshold = 150;

private:
    void onReadyRead();
    QList<QByteArray> takeWholeFrames();
    void flushBeforeSend();
    void onError(QSerialPort::SerialPortError error);
    void deliver();
    void setProblem(QSerialPort::SerialPortError error);

    QSerialPort port_;
    QByteArray buffer_;
    QList<QByteArray> beforeSend_; // received before the last send, waiting for the sender to return
    QString portName_;
    LinkProblem problem_ = LinkProblem::None;
    QString errorText_;
    bool flushQueued_ = false;
    bool closing_ = false;
};
