#pragma once

#include "engine/EngineTypes.h"

#include <QString>

namespace zostd {
class ZONullValue;
}

namespace vek {

class AbcMemories;

// Setup files: saves the live working state of the load (mode, ranges, levels, protections,
// modulation, the arbitrary table, cut-offs, record format, acquisition and trigger settings,
// display items, output short and state, the A/B/C presets) into a flat JSON file, recalls such
// a file into the engine, and resets the engine to the *RST state. Works on the engine root
// (ELoad::s_pSelf), which must exist. Create one on the stack for each operation; calls may
// come from any thread but the status object's.
//
// Names: an absolute name ("/...") is a board path used as it stands (USB storage); any other
// name lies under /etc/instr/panels/ ("00.info" to "19.info", "auto.info"). A recall of the
// relative name "auto.info" is the automatic setup: its load stays off.
class PanelMemory
{
public:
    static constexpr const char *PanelsDir = "/etc/instr/panels/";
    static constexpr const char *AutomaticSetup = "auto.info";

    // Looks up the abort-all value (id 2001) that the reset commits first. resetPauseMs: the
    // reset's pause after clearing the record logger (the product's 100 ms by default).
    explicit PanelMemory(int resetPauseMs = 100);

    // 0, or -310 when the file cannot be written; *failure (when given) then names the path and
    // the reason. The file is replaced atomically: a failed save leaves the old one.
    SCPIERR_T sav(
        const QString &name, const AbcMemories &presets, QString *failure = nullptr) const;
    // 104 while a program runs, waits or is suspended; -314 when the file cannot be read; -253
    // when it is not a JSON object. Those change nothing. Otherwise every member is applied in
    // order (a value an operation refuses leaves that setting) and the result is 0.
    SCPIERR_T rcl(const QString &name, AbcMemories *presets) const;
    // The *RST state; the transient trigger settings and the instrument configuration stay.
    // Always 0.
    SCPIERR_T rst(AbcMemories *presets) const;

    // The board path of a setup name.
    static QString boardPath(const QString &name);

private:
    zostd::ZONullValue *m_abort = nullptr;
    const int m_resetPauseMs;
};

} // namespace vek
