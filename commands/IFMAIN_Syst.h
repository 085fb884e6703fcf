#pragma once

#include "commands/NotAvailable.h"

// SYSTem: remote state, clock and time zone, factory data and the RS-232 meta-command flag,
// in dictionary order (the password commands are in IFMAIN_SystPass.h).
// Until a handler is built, its name stands for IFMAIN_NotAvailable.

using IFMAIN_SystCommRlst = IFMAIN_NotAvailable;
using IFMAIN_SystDate = IFMAIN_NotAvailable;
using IFMAIN_SystRemX = IFMAIN_NotAvailable;
using IFMAIN_SystTime = IFMAIN_NotAvailable;
using IFMAIN_SystTimeAdj = IFMAIN_NotAvailable;
using IFMAIN_SystTzon = IFMAIN_NotAvailable;
using IFMAIN_SystTzonCat = IFMAIN_NotAvailable;
using IFMAIN_SystFactMac = IFMAIN_NotAvailable;
using IFMAIN_SystFactSer = IFMAIN_NotAvailable;
using IFMAIN_SystCommZostdSafu = IFMAIN_NotAvailable;
