#pragma once

#include <QString>

class QWidget;

// The open and save dialogs of the vehicle archive, behind a seam that tests answer without a
// dialog on screen. Each returns the chosen path, or an empty text when the user cancelled.
class FileDialogs {
public:
    virtual ~FileDialogs() = default;
    virtual QString openFile(QWidget* parent, const QString& title, const QString& folder,
                             const QString& filter) = 0;
    // Asks before replacing a file.
    virtual QString saveFile(QWidget* parent, const QString& title, const QString& folder,
                             const QString& filter) = 0;
};

// The platform's own dialogs.
class SystemFileDialogs : public FileDialogs {
public:
    QString openFile(QWidget* parent, const QString& title, const QString& folder,
                     const QString& filter) override;
    QString saveFile(QWidget* parent, const QString& title, const QString& folder,
                     const QString& filter) override;
};
