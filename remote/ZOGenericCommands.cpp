#include "remote/ZOGenericCommands.h"

#include "remote/IKeywordBridge.h"
#include "remote/ZOCmdArg.h"
#include "remote/ZOKvTypes.h"
#include "remote/ZONullValue.h"
#include "remote/ZOValue_bool8_t.h"
#include "remote/ZOValue_int16_t.h"
#include "remote/ZOValue_int32_t.h"
#include "remote/ZOValue_int32_t_engX.h"
#include "remote/ZOValue_keyword.h"
#include "remote/ZOValue_real64_t.h"
#include "remote/ZOValue_uint8_t.h"

#include <climits>
#include <cmath>

namespace zo4882 {

namespace {

// The SCPI "not a number" answered where no value applies.
constexpr double SCPI_NAN = 9.91e37;

// The bound value as class V when its tag is the one V serves; tags are compared by pointer.
template <class V> V *typed(zostd::IValue *value)
{
    return (value && value->getKvType() == V::kvtype) ? static_cast<V *>(value) : nullptr;
}

template <class I> I *implementing(zostd::IValue *value, const char *tag)
{
    return (value && value->getKvType() == tag) ? dynamic_cast<I *>(value) : nullptr;
}

const ZOCmdArg *firstArg(const ZO_PARSER_RESULT *result)
{
    return result ? result->args : nullptr;
}

// The number a real-valued setting uses: integers and booleans as they are, reals, MIN/MAX
// resolved by the caller, 0.0 for any other item.
double plainNumber(const ZOCmdArg &arg)
{
    switch (arg.kind()) {
    case ZOCmdArg::KIND_INT:
    case ZOCmdArg::KIND_BOOL:
    case ZOCmdArg::KIND_REAL:
        return double(arg);
    default:
        return 0.0;
    }
}

bool isMinMax(const ZOCmdArg *arg)
{
    return arg && arg->kind() == ZOCmdArg::KIND_MINMAX;
}

bool isMax(const ZOCmdArg &arg)
{
    return int(arg) > 0;
}

// 10^exponent applied to a count without the rounding error of multiplying by 10^-n.
double scaleCount(double count, int exponent)
{
    return exponent < 0 ? count / std::pow(10.0, -exponent) : count * std::pow(10.0, exponent);
}

double toCount(double x, int exponent)
{
    return std::round(exponent < 0 ? x * std::pow(10.0, -exponent) : x / std::pow(10.0, exponent));
}

template <class V, typename T>
short setIntegerInRange(zostd::IValue *value, const ZOCmdArg *arg, long long lo, long long hi)
{
    V *v = typed<V>(value);
    if (!v)
        return 0;
    if (!arg)
        return -109;
    // MIN and MAX are the value's own limits, not the numbers their items carry.
    if (isMinMax(arg))
        return short(v->setValue(isMax(*arg) ? v->getMax() : v->getMin()));
    const int n = int(*arg);
    if (n < lo || n > hi)
        return -222;
    return short(v->setValue(T(n)));
}

template <class V>
short answerInteger(zostd::IValue *value, const ZOCmdArg *arg, ZOCmdArg **answer)
{
    if (V *v = typed<V>(value)) {
        const auto x = !isMinMax(arg) ? v->getValue() : isMax(*arg) ? v->getMax() : v->getMin();
        *answer = new ZOCmdArg(int(x), ZOCmdArg::KIND_INT);
    }
    return 0;
}

} // namespace

short _IFMAIN_gen_bool8::OnSet(const ZO_PARSER_RESULT *result) const
{
    auto *v = typed<zostd::ZOValue_bool8_t>(m_value);
    if (!v)
        return 0;
    const ZOCmdArg *arg = firstArg(result);
    if (!arg)
        return -109;
    return short(v->setValue(arg->isTrue() ? 1 : 0));
}

short _IFMAIN_gen_bool8::OnQuery(const ZO_PARSER_RESULT *, ZOCmdArg **answer) const
{
    if (auto *v = typed<zostd::ZOValue_bool8_t>(m_value))
        *answer = new ZOCmdArg(int(v->getValue()), ZOCmdArg::KIND_BOOL);
    return 0;
}

short _IFMAIN_gen_uint8::OnSet(const ZO_PARSER_RESULT *result) const
{
    return setIntegerInRange<zostd::ZOValue_uint8_t, unsigned char>(
        m_value, firstArg(result), 0, 255);
}

short _IFMAIN_gen_uint8::OnQuery(const ZO_PARSER_RESULT *result, ZOCmdArg **answer) const
{
    return answerInteger<zostd::ZOValue_uint8_t>(m_value, firstArg(result), answer);
}

short _IFMAIN_gen_int16::OnSet(const ZO_PARSER_RESULT *result) const
{
    return setIntegerInRange<zostd::ZOValue_int16_t, short>(
        m_value, firstArg(result), -32768, 32767);
}

short _IFMAIN_gen_int16::OnQuery(const ZO_PARSER_RESULT *result, ZOCmdArg **answer) const
{
    return answerInteger<zostd::ZOValue_int16_t>(m_value, firstArg(result), answer);
}

short _IFMAIN_gen_int32::OnSet(const ZO_PARSER_RESULT *result) const
{
    return setIntegerInRange<zostd::ZOValue_int32_t, int>(
        m_value, firstArg(result), INT_MIN, INT_MAX);
}

short _IFMAIN_gen_int32::OnQuery(const ZO_PARSER_RESULT *result, ZOCmdArg **answer) const
{
    return answerInteger<zostd::ZOValue_int32_t>(m_value, firstArg(result), answer);
}

short _IFMAIN_gen_real64::OnSet(const ZO_PARSER_RESULT *result) const
{
    auto *v = typed<zostd::ZOValue_real64_t>(m_value);
    if (!v)
        return 0;
    const ZOCmdArg *arg = firstArg(result);
    if (!arg)
        return -109;
    const double x = isMinMax(arg) ? (isMax(*arg) ? v->getMax() : v->getMin()) : plainNumber(*arg);
    return short(v->setValue(x));
}

short _IFMAIN_gen_real64::OnQuery(const ZO_PARSER_RESULT *result, ZOCmdArg **answer) const
{
    auto *v = typed<zostd::ZOValue_real64_t>(m_value);
    if (!v)
        return 0;
    const ZOCmdArg *arg = firstArg(result);
    double x = SCPI_NAN;
    if (!arg)
        x = v->getValue();
    else if (isMinMax(arg))
        x = isMax(*arg) ? v->getMax() : v->getMin();
    *answer = new ZOCmdArg(x, ZOCmdArg::KIND_REAL);
    return 0;
}

short _IFMAIN_gen32_engX::OnSet(const ZO_PARSER_RESULT *result) const
{
    auto *v = typed<zostd::ZOValue_int32_t_engX>(m_value);
    if (!v)
        return 0;
    const ZOCmdArg *arg = firstArg(result);
    if (!arg)
        return -109;
    if (isMinMax(arg))
        return short(v->setValue(isMax(*arg) ? v->getMax() : v->getMin()));
    // The smallest integer marks "no value", so it is out of range like anything beyond.
    const double count = toCount(plainNumber(*arg), v->engExponent());
    if (!(count > double(INT_MIN) && count <= double(INT_MAX)))
        return -222;
    return short(v->setValue(int(count)));
}

short _IFMAIN_gen32_engX::OnQuery(const ZO_PARSER_RESULT *result, ZOCmdArg **answer) const
{
    auto *v = typed<zostd::ZOValue_int32_t_engX>(m_value);
    if (!v)
        return 0;
    const ZOCmdArg *arg = firstArg(result);
    double x = SCPI_NAN;
    if (!arg) {
        const int count = v->getValue();
        if (count != INT_MIN)
            x = scaleCount(count, v->engExponent());
    } else if (isMinMax(arg)) {
        x = scaleCount(isMax(*arg) ? v->getMax() : v->getMin(), v->engExponent());
    }
    *answer = new ZOCmdArg(x, ZOCmdArg::KIND_REAL);
    return 0;
}

short _IFMAIN_gen64_engX::OnSet(const ZO_PARSER_RESULT *result) const
{
    auto *v = implementing<IEngX64Value>(m_value, zostd::ZOKvTypes::int64_t_engX);
    if (!v)
        return 0;
    const ZOCmdArg *arg = firstArg(result);
    if (!arg)
        return -109;
    if (isMinMax(arg))
        return short(v->setValue64(isMax(*arg) ? v->getMax64() : v->getMin64()));
    const double count = toCount(plainNumber(*arg), v->engExponent());
    if (!(count > double(LLONG_MIN) && count < double(LLONG_MAX)))
        return -222;
    return short(v->setValue64(static_cast<long long>(count)));
}

short _IFMAIN_gen64_engX::OnQuery(const ZO_PARSER_RESULT *result, ZOCmdArg **answer) const
{
    auto *v = implementing<IEngX64Value>(m_value, zostd::ZOKvTypes::int64_t_engX);
    if (!v)
        return 0;
    const ZOCmdArg *arg = firstArg(result);
    double x = SCPI_NAN;
    if (!arg) {
        const long long count = v->getValue64();
        if (count != LLONG_MIN)
            x = scaleCount(double(count), v->engExponent());
    } else if (isMinMax(arg)) {
        x = scaleCount(double(isMax(*arg) ? v->getMax64() : v->getMin64()), v->engExponent());
    }
    *answer = new ZOCmdArg(x, ZOCmdArg::KIND_REAL);
    return 0;
}

short _IFMAIN_gen_keyword::OnSet(const ZO_PARSER_RESULT *result) const
{
    auto *v = typed<zostd::ZOValue_keyword>(m_value);
    if (!v)
        return 0;
    const ZOCmdArg *arg = firstArg(result);
    if (!arg)
        return -109;
    const zostd::IKeywordBridge *bridge = v->getKeywordBridge();
    if (!bridge)
        return -224;
    const int index = bridge->getMappedValue(arg->toString().toStdString());
    if (index < 0 || index > 127)
        return -224;
    return short(v->setValue(static_cast<unsigned char>(index)));
}

short _IFMAIN_gen_keyword::OnQuery(const ZO_PARSER_RESULT *, ZOCmdArg **answer) const
{
    auto *v = typed<zostd::ZOValue_keyword>(m_value);
    if (!v)
        return 0;
    const zostd::IKeywordBridge *bridge = v->getKeywordBridge();
    const std::string keyword = bridge ? bridge->getMappedKeyword(v->getValue()) : std::string();
    *answer = new ZOCmdArg(keyword.c_str(), ZOCmdArg::KIND_CHAR);
    return 0;
}

short _IFMAIN_gen_string::OnSet(const ZO_PARSER_RESULT *result) const
{
    auto *v = implementing<IStringValue>(m_value, zostd::ZOKvTypes::StringValue);
    if (!v)
        return 0;
    const ZOCmdArg *arg = firstArg(result);
    if (!arg)
        return -109;
    return short(v->setString(static_cast<const char *>(*arg), arg->stringLen()));
}

short _IFMAIN_gen_string::OnQuery(const ZO_PARSER_RESULT *, ZOCmdArg **answer) const
{
    if (auto *v = implementing<IStringValue>(m_value, zostd::ZOKvTypes::StringValue)) {
        const std::string text = v->getString();
        *answer = new ZOCmdArg(text.data(), int(text.size()), ZOCmdArg::KIND_STRING);
    }
    return 0;
}

short _IFMAIN_gen_null::OnSet(const ZO_PARSER_RESULT *) const
{
    auto *v = typed<zostd::ZONullValue>(m_value);
    return v ? short(v->commit()) : 0;
}

} // namespace zo4882
