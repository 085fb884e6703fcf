#include "commands/IFMAIN_Data.h"

#include "commands/ValueObjects.h"
#include "commands/keywords/KeywordsData.h"
#include "engine/DataLogger.h"
#include "remote/ZOCmdArg.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>

namespace {

// The longest value text and its separator: sign, digit, point, five decimals, "E", the
// exponent's sign and two digits, then ",".
constexpr int ValueWidth = 13;

DataLogger *logger()
{
    return valueEngine().logger;
}

// Powers of ten that a double holds exactly: a product or quotient by one of them is rounded
// once, so the scaled value below is within half an ulp of the exact one.
constexpr double ExactPowers[] = { 1e0,
    1e1,
    1e2,
    1e3,
    1e4,
    1e5,
    1e6,
    1e7,
    1e8,
    1e9,
    1e10,
    1e11,
    1e12,
    1e13,
    1e14,
    1e15,
    1e16,
    1e17,
    1e18,
    1e19,
    1e20,
    1e21,
    1e22 };

// "00" to "99", for writing two digits at a time.
constexpr char DigitPairs[] = "00010203040506070809101112131415161718192021222324252627282930313233"
                              "34353637383940414243444546474849505152535455565758596061626364656667"
                              "6869707172737475767778798081828384858687888990919293949596979899";

// magnitude * 10^(5 - exponent) for exponents whose power is exact (-17 .. 27).
double scaled(double magnitude, int exponent)
{
    const int k = 5 - exponent;
    return k >= 0 ? magnitude * ExactPowers[k] : magnitude / ExactPowers[-k];
}

// Writes "%+0.5E" of a value of magnitude 1e-16 .. 1e21 (or zero) at out and returns the end, or
// null where the sixth digit's rounding is too close to call from a double product (a tie
// within the product's error): the caller then asks the exact formatter.
char *writeCommonValue(char *out, double value)
{
    const double magnitude = std::fabs(value);
    *out++ = std::signbit(value) ? '-' : '+';
    int exponent = 0;
    long digits = 0; // the six significant digits
    if (magnitude != 0.0) {
        // From the binary exponent: the decimal one, or one below it (78913 / 2^18 is log10 2
        // rounded down, exact enough for the binary exponents in range).
        std::uint64_t bits = 0;
        std::memcpy(&bits, &magnitude, sizeof bits);
        exponent = ((int((bits >> 52) & 0x7FF) - 1023) * 78913) >> 18;
        double s = scaled(magnitude, exponent);
        if (s >= 1e6)
            s = scaled(magnitude, ++exponent);
        const long whole = long(s);
        const double fraction = s - double(whole);
        if (s < 1e5 || s >= 1e6 || std::fabs(fraction - 0.5) < 1e-6)
            return nullptr;
        digits = whole + (fraction > 0.5 ? 1 : 0);
        if (digits == 1000000) {
            digits = 100000;
            ++exponent;
        }
    }
    *out++ = char('0' + digits / 100000);
    *out++ = '.';
    const int rest = int(digits % 100000);
    std::memcpy(out, DigitPairs + 2 * (rest / 1000), 2);
    std::memcpy(out + 2, DigitPairs + 2 * (rest / 10 % 100), 2);
    out[4] = char('0' + rest % 10);
    out += 5;
    *out++ = 'E';
    *out++ = exponent < 0 ? '-' : '+';
    std::memcpy(out, DigitPairs + 2 * std::abs(exponent), 2);
    out += 2;
    return out;
}

// Writes "%+0.5E" of value at out (room for ValueWidth characters) and returns the end; four
// decimals where the exponent has three digits.
char *writeValue(char *out, double value)
{
    const double magnitude = std::fabs(value);
    if (magnitude == 0.0 || (magnitude >= 1e-16 && magnitude < 1e21)) {
        if (char *end = writeCommonValue(out, value))
            return end;
    }
    if (!std::isfinite(value)) {
        const QByteArray text = zo4882::ZOCmdArg::formatReal(value);
        std::memcpy(out, text.constData(), size_t(text.size()));
        return out + text.size();
    }
    out[0] = std::signbit(value) ? '-' : '+';
    const bool wideExponent = magnitude < 1e-99 || magnitude >= 9.999995e99;
    const auto r = std::to_chars(
        out + 1, out + ValueWidth, magnitude, std::chars_format::scientific, wideExponent ? 4 : 5);
    for (char *p = out + 1; p < r.ptr; ++p) {
        if (*p == 'e') {
            *p = 'E';
            break;
        }
    }
    return r.ptr;
}

} // namespace

short IFMAIN_DataForm::OnSet(const zo4882::ZO_PARSER_RESULT *result) const
{
    DataLogger *target = logger();
    if (!target)
        return zo4882::notAvailable(result);
    const KeywordBridge_CurrVoltPowEtimCapEner bridge;
    DlFormatItems format;
    for (const zo4882::ZOCmdArg *arg = result->args; arg; arg = arg->next()) {
        const int code = bridge.getMappedValue(arg->toString().toStdString());
        if (code < 0)
            return -224;
        format << code;
    }
    return short(target->setFormat(format));
}

short IFMAIN_DataForm::OnQuery(
    const zo4882::ZO_PARSER_RESULT *result, zo4882::ZOCmdArg **answer) const
{
    const DataLogger *source = logger();
    if (!source)
        return zo4882::notAvailable(result);
    const KeywordBridge_CurrVoltPowEtimCapEner bridge;
    QByteArray text;
    for (int code : source->getFormat()) {
        if (!text.isEmpty())
            text += ',';
        text += bridge.getMappedKeyword(code).c_str();
    }
    *answer = new zo4882::ZOCmdArg(text.constData(), zo4882::ZOCmdArg::KIND_CHAR);
    return 0;
}

int IFMAIN_DataR::recordLimit(int items)
{
    if (items > 5)
        return 512;
    static constexpr int limits[] = { 3072, 3072, 1872, 1024, 768, 640 };
    return limits[std::max(items, 0)];
}

QByteArray IFMAIN_DataR::formatValues(const QVector<double> &values)
{
    if (values.isEmpty())
        return QByteArray();
    QByteArray text(values.size() * ValueWidth, Qt::Uninitialized);
    char *const begin = text.data();
    char *out = begin;
    for (double value : values) {
        out = writeValue(out, value);
        *out++ = ',';
    }
    text.truncate(int(out - begin) - 1);
    return text;
}

short IFMAIN_DataR::OnQuery(const zo4882::ZO_PARSER_RESULT *result, zo4882::ZOCmdArg **answer) const
{
    DataLogger *source = logger();
    if (!source)
        return zo4882::notAvailable(result);
    long long wanted = recordLimit(source->getFormat().size());
    if (const zo4882::ZOCmdArg *n = result->args) {
        const double requested = std::round(double(*n));
        if (!(requested >= 1.0))
            return -222;
        wanted = std::min<long long>(wanted, requested < 1e9 ? (long long)requested : wanted);
    }
    if (source->isEmpty())
        return -230;
    // Only what the rest of the message's answer can carry leaves the logger; k values take
    // at most k * ValueWidth - 1 characters.
    const int items = std::max(1, int(source->getFormat().size()));
    const long long fitting = (result->responseRoom + 1) / ValueWidth / items;
    wanted = std::min(wanted, fitting);
    if (wanted < 1)
        return -400;
    const QByteArray text = formatValues(source->dequeFirstValues(unsigned(wanted)));
    *answer = new zo4882::ZOCmdArg(text.constData(), text.size(), zo4882::ZOCmdArg::KIND_CHAR);
    return 0;
}
