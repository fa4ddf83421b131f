#pragma once

#include "ui/common/file_dialogs.h"

// Answers the archive's dialogs as the test says, and remembers what they were asked.
class FakeDialogs : public FileDialogs {
public:
    QString openFile(QWidget*, const QString& title, const QString& folder, const QString& filter) override
    {
        asked << QStringLiteral("open %1 %2 %3").arg(title, folder, filter);
        return answer;
    }
    QString saveFile(QWidget*, const QString& title, const QString& folder, const QString& filter,
                     const QString& suffix) override
    {
        asked << QStringLiteral("save %1 %2 %3 %4").arg(title, folder, filter, suffix);
        return answer;
    }
    bool confirm(QWidget*, const QString&, const QString& text, const QStringList& details, const QString&,
                 const QString&) override
    {
        confirmText = text;
        confirmDetails = details;
        ++confirmations;
        return confirmAnswer;
    }

    QString answer; // empty: the user cancelled
    bool confirmAnswer = true;
    QStringList asked;
    QString confirmText;
    QStringList confirmDetails;
    int confirmations = 0;
};
