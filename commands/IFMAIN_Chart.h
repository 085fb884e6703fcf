#pragma once

#include "commands/NotAvailable.h"

// CHARt: the chart page's scales, in dictionary order.
// Until a handler is built, its name stands for IFMAIN_NotAvailable.

using IFMAIN_ChartScale = IFMAIN_NotAvailable;
using IFMAIN_ChartScaleAuto = IFMAIN_NotAvailable;
