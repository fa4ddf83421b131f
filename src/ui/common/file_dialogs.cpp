#include "ui/common/file_dialogs.h"

#include <QDialog>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

QString chosenFile(QFileDialog& dialog)
{
    // Qt's own dialog, not the desktop's: it speaks the language chosen on the start window, the
    // desktop's the one of the machine
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    return dialog.selectedFiles().constFirst();
}

} // namespace

QString SystemFileDialogs::openFile(QWidget* parent, const QString& title, const QString& folder,
                                    const QString& filter)
{
    QFileDialog dialog(parent, title, folder, filter);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    return chosenFile(dialog);
}

QString SystemFileDialogs::saveFile(QWidget* parent, const QString& title, const QString& folder,
                                    const QString& filter, const QString& defaultSuffix)
{
    // the suffix is added before the dialog asks about replacing, so the question is about the
    // file that will be written
    QFileDialog dialog(parent, title, folder, filter);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setDefaultSuffix(defaultSuffix);
    return chosenFile(dialog);
}

bool SystemFileDialogs::confirm(QWidget* parent, const QString& title, const QString& text,
                                const QStringList& details, const QString& yes, const QString& no)
{
    QDialog dialog(parent);
    dialog.setWindowTitle(title);
    dialog.setWindowFlag(Qt::WindowStaysOnTopHint, true);
    auto* label = new QLabel(text, &dialog);
    label->setWordWrap(true);
    auto* list = new QListWidget(&dialog);
    list->addItems(details);
    list->setMinimumSize(520, 260);
    auto* yesButton = new QPushButton(yes, &dialog);
    auto* noButton = new QPushButton(no, &dialog);
    noButton->setDefault(true); // Enter must not send a vehicle by mistake
    QObject::connect(yesButton, &QPushButton::clicked, &dialog, &QDialog::accept);
    QObject::connect(noButton, &QPushButton::clicked, &dialog, &QDialog::reject);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(yesButton);
    buttons->addWidget(noButton);
    auto* layout = new QVBoxLayout(&dialog);
    layout->addWidget(label);
    layout->addWidget(list, 1);
    // a plain question has no list to show
    if (details.isEmpty()) {
        list->hide();
        label->setMinimumWidth(420);
    }
    layout->addLayout(buttons);
    return dialog.exec() == QDialog::Accepted;
}
