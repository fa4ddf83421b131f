#pragma once

#include <QColor>

// Colours that carry meaning, the same in every window.
namespace colours {
inline const QColor darkRed{150, 0, 0};
inline const QColor brightRed{255, 0, 0};
inline const QColor darkGreen{0, 150, 0};
inline const QColor brightGreen{0, 255, 0};
// the fuel gauge's lamps when off
inline const QColor dimRed{192, 0, 0};
inline const QColor dimGreen{0, 192, 0};
inline const QColor yellow{255, 255, 0};
// option captions: the selected one, the others
inline const QColor selectedOption{255, 0, 0};
inline const QColor otherOption{0, 0, 255};
// the text of a value box that is disabled but must stay readable ("NC"): 7:1 on the usual grey
inline const QColor disabledValueText{70, 70, 70};
} // namespace colours
