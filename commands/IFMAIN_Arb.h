#pragma once

#include "commands/NotAvailable.h"

// ARBitrary: the arbitrary I-V table, in dictionary order.
// Until a handler is built, its name stands for IFMAIN_NotAvailable.

using IFMAIN_ArbAppl = IFMAIN_NotAvailable;
using IFMAIN_ArbCle = IFMAIN_NotAvailable;
using IFMAIN_ArbCoun = IFMAIN_NotAvailable;
using IFMAIN_ArbData = IFMAIN_NotAvailable;
using IFMAIN_ArbMap = IFMAIN_NotAvailable;
using IFMAIN_ArbMapList = IFMAIN_NotAvailable;
