#pragma once

#include "commands/NotAvailable.h"

// CALibrate: calibration data, date, apply and save (administrator only), in dictionary
// order.
// Until a handler is built, its name stands for IFMAIN_NotAvailable.

using IFMAIN_CalData = IFMAIN_NotAvailable;
using IFMAIN_CalDate = IFMAIN_NotAvailable;
using IFMAIN_CalAppl = IFMAIN_NotAvailable;
using IFMAIN_CalSave = IFMAIN_NotAvailable;
