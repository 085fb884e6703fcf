#pragma once

// Texts of the instrument's own error numbers 101 to 313, read by the error queue's hook
// (SystErrCustom::getMessage) once the command set installs it.
class InstrumentErrorTexts
{
public:
    // The text of an instrument error number, or null when the number has none.
    static const char *text(short code);
    static int count();
};
