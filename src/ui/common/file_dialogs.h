#pragma once

#include <QString>
#include <QStringList>

class QWidget;

// The dialogs of the vehicle archive, behind a seam that tests answer without a dialog on screen.
// The file dialogs return the chosen path, or an empty text when the user cancelled.
class FileDialogs {
public:
    virtual ~FileDialogs() = default;
    virtual QString openFile(QWidget* parent, const QString& title, const QString& folder,
                             const QString& filter) = 0;
    // Asks before replacing a file; gives a name typed without extension `defaultSuffix`.
    virtual QString saveFile(QWidget* parent, const QString& title, const QString& folder,
                             const QString& filter, const QString& defaultSuffix) = 0;
    // Shows `text` over the list `details`; true when the user chose `yes`.
    virtual bool confirm(QWidget* parent, const QString& title, const QString& text,
                         const QStringList& details, const QString& yes, const QString& no) = 0;
};

// Qt's file dialogs, in the user's language (Qt's translations, see QtTranslations), and a
// question of our own.
class SystemFileDialogs : public FileDialogs {
public:
    QString openFile(QWidget* parent, const QString& title, const QString& folder,
                     const QString& filter) override;
    QString saveFile(QWidget* parent, const QString& title, const QString& folder, const QString& filter,
                     const QString& defaultSuffix) override;
    bool confirm(QWidget* parent, const QString& title, const QString& text, const QStringList& details,
                 const QString& yes, const QString& no) override;
};
