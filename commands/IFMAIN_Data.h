#pragma once

#include "commands/NotAvailable.h"

// DATA: the measurement-record logger's format and records, in dictionary order.
// Until a handler is built, its name stands for IFMAIN_NotAvailable.

using IFMAIN_DataForm = IFMAIN_NotAvailable;
using IFMAIN_DataR = IFMAIN_NotAvailable;
