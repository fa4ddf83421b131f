#include "ui/common/file_dialogs.h"

#include <QFileDialog>

QString SystemFileDialogs::openFile(QWidget* parent, const QString& title, const QString& folder,
                                    const QString& filter)
{
    return QFileDialog::getOpenFileName(parent, title, folder, filter);
}

QString SystemFileDialogs::saveFile(QWidget* parent, const QString& title, const QString& folder,
                                    const QString& filter)
{
    return QFileDialog::getSaveFileName(parent, title, folder, filter);
}
