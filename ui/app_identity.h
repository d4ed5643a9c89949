// What the windows show of the program itself: its title, the version text and its icon.
#pragma once

#include <QIcon>
#include <QString>

namespace velodex {

// The application's title: the first step's window title, every message box's title and the
// about box's heading.
inline constexpr const char* kApplicationTitle = "Velodex";

// "Version " followed by the major, minor and revision numbers joined by ".".
QString VersionText();

// The program's own roller coaster loop icon, from the resources built into the program.
QIcon ProgramIcon();

// Names the running application for the settings store and the desktop (its desktop entry
// and icon), sets its icon, and leaves ending the program to the wizard. No display name is
// set: the window system would append it to every window title.
void SetUpApplication();

}  // namespace velodex
