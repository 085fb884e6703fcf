#include "commands/IFMAIN_Outp.h"

#include "commands/ValueObjects.h"
#include "engine/Basic.h"
#include "remote/ZOCmdArg.h"

#include <cmath>

namespace {

constexpr double MaxOnTime = 3600000.0; // s

// The on-time of the second argument in seconds, or the error number (negative).
long long onTime(const zo4882::ZOCmdArg &arg)
{
    if (arg.kind() == zo4882::ZOCmdArg::KIND_MINMAX)
        return int(arg) > 0 ? (long long)MaxOnTime : 1;
    const double seconds = std::round(double(arg));
    if (!(seconds >= 1.0 && seconds <= MaxOnTime))
        return -222;
    return (long long)seconds;
}

} // namespace

short IFMAIN_Outp::OnSet(const zo4882::ZO_PARSER_RESULT *result) const
{
    const zo4882::ZOCmdArg *state = result ? result->args : nullptr;
    vek::Basic *basic = valueEngine().basic;
    if (!state || !basic)
        return zo4882::_IFMAIN_gen_bool8::OnSet(result);
    const zo4882::ZOCmdArg *time = state->next();
    if (!state->isTrue())
        return time ? short(-108) : zo4882::_IFMAIN_gen_bool8::OnSet(result);
    long long seconds = 0;
    if (time) {
        seconds = onTime(*time);
        if (seconds < 0)
            return short(seconds);
    }
    if (const short e = short(basic->setOutputOnDwell(int(seconds))))
        return e;
    return zo4882::_IFMAIN_gen_bool8::OnSet(result);
}
