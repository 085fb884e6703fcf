#pragma once

#include "commands/NotAvailable.h"

// HCOPy: the screen dump.
// Until a handler is built, its name stands for IFMAIN_NotAvailable.

using IFMAIN_HcopSdumData = IFMAIN_NotAvailable;
