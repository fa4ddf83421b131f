#pragma once

#include "link/language.h"

#include <QString>

// How far a write walk has come, for the user watching it: values confirmed of values to write, the
// value going out, and whether the ECU has let it wait through many sends.
class WriteProgress {
public:
    // Sends of one value after which the user is told the walk waits for the ECU.
    static constexpr int kPatience = 10;

    void begin(int toWrite);
    // A frame went out for the value `key` (a parameter id, or 100 + a table cell).
    void sent(int key);
    bool running() const { return running_; }
    void end() { running_ = false; }

    int toWrite() const { return toWrite_; }
    bool waitingForEcu() const { return sends_ > kPatience; }
    int sendsOfCurrent() const { return sends_; }

    // "12 di 40 valori confermati - invio: <what>" or the waiting line; `stillDiffering` counts the
    // values not confirmed yet.
    QString line(Language language, int stillDiffering, const QString& what) const;

private:
    int toWrite_ = 0;
    int current_ = -1;
    int sends_ = 0;
    bool running_ = false;
};

// A parameter or a table cell as the user reads it in a progress line or a list.
QString parameterLabel(int id, Language language);
QString cellLabel(int cell, Language language);
