#pragma once

#include "commands/NotAvailable.h"

// PROGram: programs and their steps, in dictionary order.
// Until a handler is built, its name stands for IFMAIN_NotAvailable.

using IFMAIN_ProgCre = IFMAIN_NotAvailable;
using IFMAIN_ProgDel = IFMAIN_NotAvailable;
using IFMAIN_ProgList = IFMAIN_NotAvailable;
using IFMAIN_ProgSel = IFMAIN_NotAvailable;
using IFMAIN_ProgRen = IFMAIN_NotAvailable;
using IFMAIN_ProgLoop = IFMAIN_NotAvailable;
using IFMAIN_ProgSave = IFMAIN_NotAvailable;
using IFMAIN_ProgChain = IFMAIN_NotAvailable;
using IFMAIN_ProgCurrProtAction = IFMAIN_NotAvailable;
using IFMAIN_ProgCurrProtLev = IFMAIN_NotAvailable;
using IFMAIN_ProgCurrProtStat = IFMAIN_NotAvailable;
using IFMAIN_ProgPowProtAction = IFMAIN_NotAvailable;
using IFMAIN_ProgPowProtLev = IFMAIN_NotAvailable;
using IFMAIN_ProgPowProtStat = IFMAIN_NotAvailable;
using IFMAIN_ProgVoltProtAction = IFMAIN_NotAvailable;
using IFMAIN_ProgVoltProtLevLow = IFMAIN_NotAvailable;
using IFMAIN_ProgVoltProtStat = IFMAIN_NotAvailable;
using IFMAIN_ProgCvopLev = IFMAIN_NotAvailable;
using IFMAIN_ProgStepsCoun = IFMAIN_NotAvailable;
using IFMAIN_ProgStepDwel = IFMAIN_NotAvailable;
using IFMAIN_ProgStepLev = IFMAIN_NotAvailable;
using IFMAIN_ProgStepSlew = IFMAIN_NotAvailable;
using IFMAIN_ProgStepOutp = IFMAIN_NotAvailable;
using IFMAIN_ProgStepTran = IFMAIN_NotAvailable;
using IFMAIN_ProgStepTranStar = IFMAIN_NotAvailable;
using IFMAIN_ProgStepTrigWait = IFMAIN_NotAvailable;
using IFMAIN_ProgStepTrigGen = IFMAIN_NotAvailable;
using IFMAIN_ProgStepEvenAny = IFMAIN_NotAvailable;
using IFMAIN_ProgLastStat = IFMAIN_NotAvailable;
using IFMAIN_ProgLastOutp = IFMAIN_NotAvailable;
using IFMAIN_ProgLastLev = IFMAIN_NotAvailable;
using IFMAIN_ProgLastSlew = IFMAIN_NotAvailable;
