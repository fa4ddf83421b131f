#include "sim/simulator_thread.h"

#include <QMetaObject>

SimulatorThread::SimulatorThread(int bytesPerSecond)
    : ecu_(std::make_unique<VirtualEcu>()), host_(new PtyHost(*ecu_, bytesPerSecond))
{
    thread_.setObjectName(QStringLiteral("virtual-ecu"));
    host_->moveToThread(&thread_);
    QObject::connect(&thread_, &QThread::finished, host_, &QObject::deleteLater);
}

SimulatorThread::~SimulatorThread()
{
    thread_.quit();
    thread_.wait();
    if (!started_) delete host_; // otherwise deleted on its thread as it finished
}

bool SimulatorThread::start()
{
    thread_.start();
    bool ok = false;
    QMetaObject::invokeMethod(
        host_, [this, &ok] { ok = host_->start(); }, Qt::BlockingQueuedConnection);
    started_ = true;
    return ok;
}

QString SimulatorThread::devicePath() const
{
    return host_->devicePath();
}
QString SimulatorThread::errorText() const
{
    return host_->errorText();
}

void SimulatorThread::withEcu(const std::function<void(VirtualEcu&)>& change)
{
    QMetaObject::invokeMethod(
        host_, [this, &change] { change(*ecu_); }, Qt::BlockingQueuedConnection);
}
