#pragma once

#include "engine/Status.h"

#include <QString>

// The sentence that names the active protections ("OVP/UVP Alarm has occurred."), shared by the
// measurement screen and the slave screen. The panel adds the hint to press Enter where the
// alarm can be cleared from the panel; the slave screen never does, names a tripped watchdog
// always as such and has no name for the front alarm of a slave (code 0x80).
enum class AlarmScreen { Panel, Slave };

// The protection names joined by "/", translated in the screen's context; hint (may be null)
// tells whether a name asks for the Enter hint.
QString alarmNames(vek::Status::StatusProtections protections, AlarmScreen screen, bool *hint);

// The whole rich text for the screen's message box.
QString alarmSentence(vek::Status::StatusProtections protections, AlarmScreen screen);
