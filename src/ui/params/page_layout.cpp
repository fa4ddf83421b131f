#include "ui/params/page_layout.h"

#include "ui/common/widgets.h"
#include "ui/params/parameter_page.h"

#include <QAbstractButton>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

QLineEdit* parameterBox(QWidget* parent, const char* designName)
{
    return valueBox(parent, QString::fromLatin1(designName), 80);
}

QLabel* headingLabel(QWidget* parent, const char* designName)
{
    QLabel* label = namedLabel(parent, QString::fromLatin1(designName), QString());
    QFont bold = label->font();
    bold.setBold(true);
    label->setFont(bold);
    return label;
}

QGroupBox* optionFrame(QWidget* parent, const char* designName, std::initializer_list<const char*> options)
{
    auto* group = new QGroupBox(parent);
    group->setObjectName(QString::fromLatin1(designName));
    auto* layout = new QVBoxLayout(group);
    for (const char* option : options)
        addOption(layout, new QRadioButton(group), option);
    return group;
}

void addFieldRow(QGridLayout* grid, int row, QLabel* caption, QLineEdit* box, const QString& unit)
{
    grid->addWidget(caption, row, 0);
    grid->addWidget(box, row, 1);
    if (!unit.isEmpty()) grid->addWidget(new QLabel(unit, box->parentWidget()), row, 2);
}

void addOption(QBoxLayout* layout, QAbstractButton* button, const char* designName)
{
    button->setObjectName(QString::fromLatin1(designName));
    auto* row = new QHBoxLayout;
    row->addWidget(button);
    row->addStretch(1);
    layout->addLayout(row);
}

void layOutPage(QWidget* page, QLayout* fields, std::initializer_list<QWidget*> frames,
                const PageControls& controls)
{
    auto* body = new QHBoxLayout;
    body->addLayout(fields);
    if (frames.size() > 0) {
        auto* side = new QVBoxLayout;
        for (QWidget* frame : frames)
            side->addWidget(frame);
        side->addStretch(1);
        body->addSpacing(16);
        body->addLayout(side);
    }

    auto* footer = new QHBoxLayout;
    // a parent of their own: Qt makes every radio button below one parent a single exclusive set,
    // and the page's option groups must not be part of it
    auto* selectors = new QWidget(page);
    auto* modes = new QHBoxLayout(selectors);
    modes->setContentsMargins(0, 0, 0, 0);
    addOption(modes, new QRadioButton(selectors), controls.readMode);
    addOption(modes, new QRadioButton(selectors), controls.writeMode);
    footer->addWidget(selectors);
    footer->addStretch(1);
    for (const char* name : {controls.writeButton, controls.exitButton}) {
        auto* button = new QPushButton(page);
        button->setObjectName(QString::fromLatin1(name));
        footer->addWidget(button);
    }

    // how far a write has come, and what it waits for
    auto* writeLine = new QLabel(page);
    writeLine->setObjectName(QStringLiteral("WriteLine"));
    writeLine->setWordWrap(true);
    // room for two lines from the start: a long line must not squeeze the boxes when it appears
    writeLine->setMinimumHeight(2 * writeLine->fontMetrics().lineSpacing());

    auto* layout = new QVBoxLayout(page);
    layout->addLayout(body);
    layout->addSpacing(12);
    layout->addWidget(writeLine);
    layout->addLayout(footer);
}
