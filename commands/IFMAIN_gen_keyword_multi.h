#pragma once

#include "commands/NotAvailable.h"

// The generic handler of keyword-list values (Value_keyword_multi).
// Until a handler is built, its name stands for IFMAIN_NotAvailable.

using IFMAIN_gen_keyword_multi = IFMAIN_NotAvailable;
