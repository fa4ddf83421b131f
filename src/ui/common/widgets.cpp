#include "ui/common/widgets.h"

#include "ui/common/colours.h"

#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>

QLabel* namedLabel(QWidget* parent, const QString& designName, const QString& text)
{
    auto* label = new QLabel(text, parent);
    label->setObjectName(designName);
    return label;
}

WordedLine::WordedLine(QWidget* parent, const QString& designName) : QLabel(parent)
{
    setObjectName(designName);
}

void WordedLine::say(std::function<QString()> words)
{
    words_ = std::move(words);
    reword();
}

void WordedLine::reword()
{
    setText(words_ ? words_() : QString());
}

QLabel* productNameLabel(QWidget* parent, const QString& designName)
{
    QLabel* label = namedLabel(parent, designName, QStringLiteral("ORVANE"));
    QFont big = label->font();
    big.setPointSize(big.pointSize() * 2);
    big.setBold(true);
    label->setFont(big);
    return label;
}

QLineEdit* valueBox(QWidget* parent, const QString& designName, int width, const QString& text)
{
    auto* box = new QLineEdit(text, parent);
    box->setObjectName(designName);
    box->setReadOnly(true);
    box->setAlignment(Qt::AlignRight);
    box->setFixedWidth(width);
    // a box is disabled to show a missing signal ("NC"); its text must still be read at a glance
    QPalette palette = box->palette();
    palette.setColor(QPalette::Disabled, QPalette::Text, colours::disabledValueText);
    box->setPalette(palette);
    return box;
}

void showLocked(QLineEdit* box, bool locked)
{
    box->setReadOnly(locked);
    QPalette palette = box->palette();
    palette.setColor(QPalette::Base, locked ? palette.color(QPalette::Window)
                                            : QGuiApplication::palette().color(QPalette::Base));
    box->setPalette(palette);
}

QGroupBox* namedFrame(QWidget* parent, const char* designName)
{
    auto* group = new QGroupBox(parent);
    group->setObjectName(QString::fromLatin1(designName));
    return group;
}

QGroupBox* framedBox(QWidget* parent, const char* frameName, QLineEdit* box, QWidget* beside)
{
    QGroupBox* group = namedFrame(parent, frameName);
    auto* layout = new QHBoxLayout(group);
    layout->setContentsMargins(6, 2, 6, 4);
    layout->addWidget(box);
    if (beside) layout->addWidget(beside);
    layout->addStretch(1);
    return group;
}
