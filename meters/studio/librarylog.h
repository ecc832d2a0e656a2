#ifndef LIBRARYLOG_H
#define LIBRARYLOG_H

#include <QString>

#include "korvane.h"

// The library's log goes to $XDG_STATE_HOME/tavelin-meters/ (by default
// ~/.local/state/tavelin-meters/), not into whatever folder the program was
// started from.
QString libraryLogFolder();

// The library opens its log in the working folder, and the working folder
// belongs to the whole process: so it is made that folder once, at start-up,
// before any thread exists that could open a relative path meanwhile. False
// when the folder cannot be made or entered; the working folder then stays.
bool enterLibraryLogFolder();

// Switches the handle's log on, in that folder if it is the working folder.
// The first time in a run for a port, the previous run's file is kept as
// NAME.1, so the log of a crash survives the automatic restart. False (with
// an incident line) when the folder is not the working folder or cannot be
// written; logging then stays off.
bool startLibraryLog(korvane_handle handle, quint16 recvPort);

#endif  // LIBRARYLOG_H
