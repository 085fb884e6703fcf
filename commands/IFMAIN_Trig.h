#pragma once

#include "commands/NotAvailable.h"

// TRIGger: the transient's execution state.
// Until a handler is built, its name stands for IFMAIN_NotAvailable.

using IFMAIN_TrigTranExec = IFMAIN_NotAvailable;
