#include "remote/ZOStatusCommands.h"

#include "remote/StatusRegisters.h"
#include "remote/ZOCmdArg.h"
#include "remote/ZOCmdArgRange.h"

#include <climits>
#include <cstring>

namespace zo4882 {

namespace {

using StatusRegister = ZO_REGISTER_TMPL<short>;

bool has(const ZO_PARSER_RESULT *result, const char *word)
{
    return std::strstr(result->header, word) != nullptr;
}

// 0 operation, 1 questionable, -1 neither.
int group(const ZO_PARSER_RESULT *result)
{
    if (has(result, "OPER"))
        return 0;
    if (has(result, "QUES"))
        return 1;
    return -1;
}

short query(StatusRegister *reg, const ZO_PARSER_RESULT *result, ZOCmdArg **answer)
{
    short content = 0;
    if (has(result, "COND"))
        content = reg->condition();
    else if (has(result, "ENAB"))
        content = reg->enabler();
    else if (has(result, "PTR"))
        content = reg->ptr();
    else if (has(result, "NTR"))
        content = reg->ntr();
    else
        content = reg->getEvent();
    *answer = new ZOCmdArg(int(static_cast<unsigned short>(content)), ZOCmdArg::KIND_INT);
    return 0;
}

short set(StatusRegister *reg, const ZO_PARSER_RESULT *result, short value)
{
    if (has(result, "ENAB"))
        reg->setEnabler(value);
    else if (has(result, "PTR"))
        reg->setPtr(value);
    else if (has(result, "NTR"))
        reg->setNtr(value);
    else
        return -113;
    return 0;
}

// The low 16 bits of the rounded number, for the registers without a range check.
short lowBits(const ZO_PARSER_RESULT *result, short *value)
{
    long long v = 0;
    if (const short e = zoRoundedArg(result->args, LLONG_MIN / 2, LLONG_MAX / 2, &v))
        return e;
    *value = static_cast<short>(static_cast<unsigned short>(v & 0xFFFF));
    return 0;
}

StatusRegister *instrument(const ZO_PARSER_RESULT *result)
{
    const int g = group(result);
    if (g < 0)
        return nullptr;
    return g == 0 ? &s_statOperInst : &s_statQuesInst;
}

// -113 for no group, -131 for a suffix other than 1 to 3.
short isum(const ZO_PARSER_RESULT *result, StatusRegister **reg)
{
    const int g = group(result);
    if (g < 0)
        return -113;
    if (result->suffix < 1 || result->suffix > 3)
        return -131;
    *reg = g == 0 ? &s_statOperInstIsum[result->suffix] : &s_statQuesInstIsum[result->suffix];
    return 0;
}

} // namespace

short _IFMAIN_StatAny::OnSet(const ZO_PARSER_RESULT *result) const
{
    const int g = group(result);
    if (g < 0)
        return -113;
    long long value = 0;
    if (const short e = zoRoundedArg(result->args, 0, 65535, &value))
        return e;
    return set(g == 0 ? &s_statOper : &s_statQues, result, static_cast<short>(value));
}

short _IFMAIN_StatAny::OnQuery(const ZO_PARSER_RESULT *result, ZOCmdArg **answer) const
{
    const int g = group(result);
    if (g < 0)
        return -113;
    return query(g == 0 ? &s_statOper : &s_statQues, result, answer);
}

short _IFMAIN_StatAnyInst::OnSet(const ZO_PARSER_RESULT *result) const
{
    StatusRegister *reg = instrument(result);
    if (!reg)
        return -113;
    short value = 0;
    if (const short e = lowBits(result, &value))
        return e;
    return set(reg, result, value);
}

short _IFMAIN_StatAnyInst::OnQuery(const ZO_PARSER_RESULT *result, ZOCmdArg **answer) const
{
    StatusRegister *reg = instrument(result);
    if (!reg)
        return -113;
    return query(reg, result, answer);
}

short _IFMAIN_StatAnyInstIsum::OnSet(const ZO_PARSER_RESULT *result) const
{
    StatusRegister *reg = nullptr;
    if (const short e = isum(result, &reg))
        return e;
    short value = 0;
    if (const short e = lowBits(result, &value))
        return e;
    return set(reg, result, value);
}

short _IFMAIN_StatAnyInstIsum::OnQuery(const ZO_PARSER_RESULT *result, ZOCmdArg **answer) const
{
    StatusRegister *reg = nullptr;
    if (const short e = isum(result, &reg))
        return e;
    return query(reg, result, answer);
}

short _IFMAIN_StatPres::OnSet(const ZO_PARSER_RESULT *) const
{
    statPreset();
    return 0;
}

} // namespace zo4882
