#ifndef LIBRARYLOG_H
#define LIBRARYLOG_H

#include <QString>

#include "korvane.h"

// The library's log goes to $XDG_STATE_HOME/tavelin-meters/ (by default
// ~/.local/state/tavelin-meters/), not into whatever folder the program was
// started from.
QString libraryLogFolder();

// Switches the handle's log on in that folder. The first time in a run for
// a port, the previous run's file is kept as NAME.1, so the log of a crash
// survives the automatic restart. False (with an incident line) when the
// folder cannot be made or written; logging then stays off.
bool startLibraryLog(korvane_handle handle, quint16 recvPort);

#endif  // LIBRARYLOG_H
