#pragma once

#include <QString>
#include <QStringList>

// Ports 1..4 of the settings dialog: COM1..COM4 on Windows, /dev/ttyS0../dev/ttyS3 elsewhere.
QString portNameForNumber(int number);

// The serial devices this machine has now (USB adapters, pseudo-terminals the system lists).
QStringList serialDevices();

// Longer than any device name the system can open.
constexpr int kMaxPortNameLength = 4095;
