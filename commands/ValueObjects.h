#pragma once

#include "commands/ValueEngine.h"

// Creates the value registry (zostd::ZOValueManager::s_pSelf) and the instrument's 116 value
// objects in their fixed order, links each immediate level with its triggered level and returns
// the number of registered objects. Ids whose family has not built them yet hold a
// ValueNotAvailable placeholder. Called once at start-up, before any other thread reaches the
// values; registry and objects then live until the process ends. A further call (tests)
// replaces them.
int createValueObjects(const ValueEngine &engine);

// The engine handed to the last createValueObjects(), for the handlers that act on it beyond a
// single value (the measurement queries, DATA:R?); all null before the first call.
const ValueEngine &valueEngine();
