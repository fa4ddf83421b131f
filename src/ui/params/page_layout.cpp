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

QGroupBox* optionFrame(QWidget* parent, const char* designName)
{
    auto* group = new QGroupBox(parent);
    group->setObjectName(QString::fromLatin1(designName));
    return group;
}

void addFieldRow(QGridLayout* grid, int row, QLabel* caption, QLineEdit* box, const QString& unit)
{
    grid->addWidget(caption, row, 0);
    grid->addWidget(box, row, 1);
    if (!unit.isEmpty()) grid->addWidget(new QLabel(unit, box->parentWidget()), row, 2);
}

void addCaptioned(QBoxLayout* layout, QAbstractButton* button, const char* buttonName, const char* labelName)
{
    button->setObjectName(QString::fromLatin1(buttonName));
    auto* row = new QHBoxLayout;
    row->setSpacing(4);
    row->addWidget(button);
    row->addWidget(namedLabel(button->parentWidget(), QString::fromLatin1(labelName), QString()));
    row->addStretch(1);
    layout->addLayout(row);
}

QHBoxLayout* pageFooter(QWidget* page, const PageControls& controls, const char* readLabel,
                        const char* writeLabel)
{
    auto* footer = new QHBoxLayout;
    // a parent of their own: Qt makes every radio button below one parent a single exclusive set,
    // and the page's option groups must not be part of it
    auto* selectors = new QWidget(page);
    auto* modes = new QHBoxLayout(selectors);
    modes->setContentsMargins(0, 0, 0, 0);
    addCaptioned(modes, new QRadioButton(selectors), controls.readMode, readLabel);
    addCaptioned(modes, new QRadioButton(selectors), controls.writeMode, writeLabel);
    footer->addWidget(selectors);
    footer->addStretch(1);
    for (const char* name : {controls.writeButton, controls.exitButton}) {
        auto* button = new QPushButton(page);
        button->setObjectName(QString::fromLatin1(name));
        footer->addWidget(button);
    }
    return footer;
}
