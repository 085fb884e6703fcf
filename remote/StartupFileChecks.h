#pragma once

#include <QStringList>

namespace zostd {

// The start-up's checks of the auxiliary programs and board scripts the instrument relies on.
// Each failure is queued as -310 "System error" from the panel, with "Missing PATH",
// "Unexecutable PATH", "Unreadable PATH" or "Bad Newline in PATH" (the board path) as detail;
// nothing else happens. Returns the details queued, in order.
QStringList checkStartupFiles();

} // namespace zostd
