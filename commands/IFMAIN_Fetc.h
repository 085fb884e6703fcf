#pragma once

#include "commands/NotAvailable.h"

// FETCh, READ and MEASure: one class for the seven measurement queries.
// Until a handler is built, its name stands for IFMAIN_NotAvailable.

using IFMAIN_Fetc = IFMAIN_NotAvailable;
