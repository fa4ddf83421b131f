#pragma once

#include <QString>

// Every window of the program, numbered by its design name (Form1 .. Form16).
enum class WindowId {
    Start = 1,                 // Form1
    MainMenu = 2,              // Form2
    Status = 3,                // Form3
    SerialSettings = 4,        // Form4
    Archive = 5,               // Form5
    LambdaPage = 6,            // Form6
    Download = 7,              // Form7
    AutoCalibration = 8,       // Form8
    EndOfLine = 9,             // Form9
    CutoffPage = 10,           // Form10
    CommutationPage = 11,      // Form11
    Messages = 12,             // Form12
    OtherPage = 13,            // Form13
    LevelPage = 14,            // Form14
    GraphicalCalibration = 15, // Form15
    Calibration = 16,          // Form16
    DatalogViewer = 17,        // a recorded drive; no design name
};

inline constexpr WindowId kAllWindows[] = {
    WindowId::Start,          WindowId::MainMenu,        WindowId::Status,
    WindowId::SerialSettings, WindowId::Archive,         WindowId::LambdaPage,
    WindowId::Download,       WindowId::AutoCalibration, WindowId::EndOfLine,
    WindowId::CutoffPage,     WindowId::CommutationPage, WindowId::Messages,
    WindowId::OtherPage,      WindowId::LevelPage,       WindowId::GraphicalCalibration,
    WindowId::Calibration,    WindowId::DatalogViewer,
};

// "Form3": the window's objectName.
inline QString designName(WindowId id)
{
    return QStringLiteral("Form%1").arg(static_cast<int>(id));
}
