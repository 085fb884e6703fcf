#pragma once

#include "remote/ZO_ESR_REGISTER.h"
#include "remote/ZO_STAT_INST_ISUM_REGISTER.h"
#include "remote/ZO_STAT_INST_REGISTER.h"
#include "remote/ZO_STAT_REGISTER.h"
#include "remote/ZO_STB_REGISTER.h"

namespace zo4882 {

// The process-wide status structure; built, together with the error queue, before any other
// object of the program.
extern ZO_STB_REGISTER s_stb;
extern ZO_ESR_REGISTER s_esr;
extern ZO_STAT_REGISTER s_statOper;
extern ZO_STAT_REGISTER s_statQues;
extern ZO_STAT_INST_REGISTER s_statOperInst;
extern ZO_STAT_INST_REGISTER s_statQuesInst;
extern ZO_STAT_INST_ISUM_REGISTER s_statOperInstIsum[ZO_STAT_INST_ISUM_REGISTER::Count];
extern ZO_STAT_INST_ISUM_REGISTER s_statQuesInstIsum[ZO_STAT_INST_ISUM_REGISTER::Count];

// Puts every register back to its power-on state (the links are made at construction).
// The start-up calls it first; it does not touch the error queue.
void init4882();
// STATus:PRESet: enable 0, PTR = valid mask, NTR 0 for both groups' registers below the status
// byte (not the standard event status); conditions and events are kept.
void statPreset();
// *CLS: clears the STATus events, presets the instrument registers, clears the standard event
// status event and condition, the status byte condition and the error queue. Enables are kept.
void cls();

} // namespace zo4882
