#pragma once

#include "remote/ZODictIndex.h"

// The instrument's command dictionary: an index over s_dictNative, the table of every header
// the instrument understands, generated at build time from DictNative.txt. The remote start-up
// builds one and registers it with the parser with the SOURce root; it lives until the process
// ends. One index over the table at a time (the index owns the compiled patterns).
class DictIndexNative : public zo4882::ZODictIndex<215>
{
public:
    static constexpr int NumEntries = 215;
    // Slots 0 to 210 are used, 211 to 214 empty. Constant but for the compiled patterns (set by
    // the index) and the argument types of the program-step level entries (swapUnitSuffix()).
    static zo4882::ZO_SCPI_DICT_ENTRY s_dictNative[NumEntries];

    // Indexes the table and gives the program-step level entries the argument types of the
    // engine's present function mode.
    DictIndexNative();

    // Sets the setting-form argument types of PROGram:STEP<n>:LEVel, :STEP<n>:TRANsient:STARt
    // and PROGram:LAST:LEVel for the function mode (0 CC, 1 CR, 2 CV, 3 CP: the mode's unit,
    // no MIN/MAX; 4 ARB: plain numbers and MIN/MAX). Another value only copies the first
    // entry's present types to the other two. Any thread; the parser takes the new types from
    // its next program-step level command.
    static void swapUnitSuffix(unsigned char mode);
};
