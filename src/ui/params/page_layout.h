#pragma once

#include <QString>

class QAbstractButton;
class QBoxLayout;
class QGridLayout;
class QGroupBox;
class QHBoxLayout;
class QLabel;
class QLineEdit;
class QWidget;
struct PageControls;

// Controls made the same way on every parameter page, named by their design names.

// A parameter's box: right-aligned, locked until write mode.
QLineEdit* parameterBox(QWidget* parent, const char* designName);
// A section heading in bold; its text is a caption.
QLabel* headingLabel(QWidget* parent, const char* designName);
// A frame around an option group; its title is a caption.
QGroupBox* optionFrame(QWidget* parent, const char* designName);
// One row of a page's field grid: caption, box, unit (none when empty).
void addFieldRow(QGridLayout* grid, int row, QLabel* caption, QLineEdit* box, const QString& unit = {});
// An option button or check box without text of its own, then its caption label, both named; the
// label is made beside the button, in the same parent.
void addCaptioned(QBoxLayout* layout, QAbstractButton* button, const char* buttonName, const char* labelName);
// The read and write mode selectors with their labels, then the write and exit buttons.
QHBoxLayout* pageFooter(QWidget* page, const PageControls& controls, const char* readLabel,
                        const char* writeLabel);
