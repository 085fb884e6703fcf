#pragma once

#include "commands/NotAvailable.h"

// MEMory: the A/B/C presets, in dictionary order.
// Until a handler is built, its name stands for IFMAIN_NotAvailable.

using IFMAIN_MemRec = IFMAIN_NotAvailable;
using IFMAIN_MemSave = IFMAIN_NotAvailable;
