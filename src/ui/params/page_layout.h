#pragma once

#include <QString>

#include <initializer_list>

class QAbstractButton;
class QBoxLayout;
class QGridLayout;
class QGroupBox;
class QLabel;
class QLayout;
class QLineEdit;
class QWidget;
struct PageControls;

// Controls made the same way on every parameter page, named by their design names.

// A parameter's box: right-aligned, locked until write mode.
QLineEdit* parameterBox(QWidget* parent, const char* designName);
// A section heading in bold; its text is a caption.
QLabel* headingLabel(QWidget* parent, const char* designName);
// A frame around an option group, its title a caption: the option buttons top to bottom (design
// names), each captioned with its own text.
QGroupBox* optionFrame(QWidget* parent, const char* designName, std::initializer_list<const char*> options);
// One row of a page's field grid: caption, box, unit (none when empty).
void addFieldRow(QGridLayout* grid, int row, QLabel* caption, QLineEdit* box, const QString& unit = {});
// An option button or check box named by its design name; its caption is its own text, so that
// a click on the words chooses it too.
void addOption(QBoxLayout* layout, QAbstractButton* button, const char* designName);
// The whole page: its fields, the option frames beside them top to bottom, and along the bottom the
// read and write mode selectors, the write and the exit button; above them the write's progress
// line `WriteLine`.
void layOutPage(QWidget* page, QLayout* fields, std::initializer_list<QWidget*> frames,
                const PageControls& controls);
