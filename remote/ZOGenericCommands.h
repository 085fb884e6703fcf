#pragma once

#include "remote/ZOCommand.h"

#include <string>

namespace zo4882 {

// Generic handlers that bind a dictionary row to a registered value by the value's type tag.
// A handler whose value is missing or has another tag does nothing and returns 0 without an
// answer. A setting without an argument is -109. Settings run under the registry's mutex
// (taken by the caller, ZOCommandRunner).

// What a value tagged ZOKvTypes::StringValue must implement for _IFMAIN_gen_string.
class IStringValue
{
public:
    virtual ~IStringValue() = default;
    virtual int setString(const char *text, int length) = 0;
    virtual std::string getString() const = 0;
};

// What a value tagged ZOKvTypes::int64_t_engX must implement for _IFMAIN_gen64_engX: counts of
// 10^exponent in 64 bits.
class IEngX64Value
{
public:
    virtual ~IEngX64Value() = default;
    virtual long long getMin64() const = 0;
    virtual long long getMax64() const = 0;
    virtual long long getValue64() const = 0;
    virtual int setValue64(long long count) = 0;
    virtual int engExponent() const = 0;
};

// bool8_t: a parameter is true when its rounded value is not zero.
class _IFMAIN_gen_bool8 : public ZOCommand
{
public:
    using ZOCommand::ZOCommand;
    short OnSet(const ZO_PARSER_RESULT *result) const override;
    short OnQuery(const ZO_PARSER_RESULT *result, ZOCmdArg **answer) const override;
};

// uint8_t: 0 to 255, else -222.
class _IFMAIN_gen_uint8 : public ZOCommand
{
public:
    using ZOCommand::ZOCommand;
    short OnSet(const ZO_PARSER_RESULT *result) const override;
    short OnQuery(const ZO_PARSER_RESULT *result, ZOCmdArg **answer) const override;
};

// int16_t: -32768 to 32767, else -222.
class _IFMAIN_gen_int16 : public ZOCommand
{
public:
    using ZOCommand::ZOCommand;
    short OnSet(const ZO_PARSER_RESULT *result) const override;
    short OnQuery(const ZO_PARSER_RESULT *result, ZOCmdArg **answer) const override;
};

// int32_t: range checks are the value's.
class _IFMAIN_gen_int32 : public ZOCommand
{
public:
    using ZOCommand::ZOCommand;
    short OnSet(const ZO_PARSER_RESULT *result) const override;
    short OnQuery(const ZO_PARSER_RESULT *result, ZOCmdArg **answer) const override;
};

// real64_t: MIN/MAX set or answer the limits; a query with another argument answers 9.91e37.
class _IFMAIN_gen_real64 : public ZOCommand
{
public:
    using ZOCommand::ZOCommand;
    short OnSet(const ZO_PARSER_RESULT *result) const override;
    short OnQuery(const ZO_PARSER_RESULT *result, ZOCmdArg **answer) const override;
};

// int32_t_engX: a real parameter becomes counts of 10^exponent (rounded half away from zero;
// beyond 32 bits is -222); MIN/MAX are counts already. Answers are reals.
class _IFMAIN_gen32_engX : public ZOCommand
{
public:
    using ZOCommand::ZOCommand;
    short OnSet(const ZO_PARSER_RESULT *result) const override;
    short OnQuery(const ZO_PARSER_RESULT *result, ZOCmdArg **answer) const override;
};

// int64_t_engX, as _IFMAIN_gen32_engX with 64-bit counts (value implements IEngX64Value).
class _IFMAIN_gen64_engX : public ZOCommand
{
public:
    using ZOCommand::ZOCommand;
    short OnSet(const ZO_PARSER_RESULT *result) const override;
    short OnQuery(const ZO_PARSER_RESULT *result, ZOCmdArg **answer) const override;
};

// keyword: the argument's text through the value's bridge; no match (or no bridge) is -224.
class _IFMAIN_gen_keyword : public ZOCommand
{
public:
    using ZOCommand::ZOCommand;
    short OnSet(const ZO_PARSER_RESULT *result) const override;
    short OnQuery(const ZO_PARSER_RESULT *result, ZOCmdArg **answer) const override;
};

// StringValue (value implements IStringValue): text in, string data out.
class _IFMAIN_gen_string : public ZOCommand
{
public:
    using ZOCommand::ZOCommand;
    short OnSet(const ZO_PARSER_RESULT *result) const override;
    short OnQuery(const ZO_PARSER_RESULT *result, ZOCmdArg **answer) const override;
};

// NullValue: the setting commits the action; there is no query form (-113).
class _IFMAIN_gen_null : public ZOCommand
{
public:
    using ZOCommand::ZOCommand;
    short OnSet(const ZO_PARSER_RESULT *result) const override;
};

} // namespace zo4882
