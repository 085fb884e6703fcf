#include "commands/IFMAIN_Data.h"

#include "commands/ValueObjects.h"
#include "commands/keywords/KeywordsData.h"
#include "engine/DataLogger.h"
#include "remote/ZOCmdArg.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace {

// The longest value text and its separator: sign, digit, point, five decimals, "E", the
// exponent's sign and two digits, then ",".
constexpr int ValueWidth = 13;

DataLogger *logger()
{
    return valueEngine().logger;
}

// Appends "%+0.5E" of value; four decimals where the exponent has three digits.
void appendValue(QByteArray &text, double value)
{
    if (!std::isfinite(value)) {
        text += zo4882::ZOCmdArg::formatReal(value);
        return;
    }
    char buf[32];
    buf[0] = std::signbit(value) ? '-' : '+';
    const double magnitude = std::fabs(value);
    const bool wideExponent = magnitude != 0.0 && (magnitude < 1e-99 || magnitude >= 9.999995e99);
    const auto r = std::to_chars(
        buf + 1, buf + sizeof buf, magnitude, std::chars_format::scientific, wideExponent ? 4 : 5);
    for (char *p = buf + 1; p < r.ptr; ++p) {
        if (*p == 'e') {
            *p = 'E';
            break;
        }
    }
    text.append(buf, int(r.ptr - buf));
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

QByteArray IFMAIN_DataR::formatValues(const QVector<QVector<double>> &records)
{
    QByteArray text;
    int count = 0;
    for (const QVector<double> &record : records)
        count += record.size();
    text.reserve(count * ValueWidth);
    for (const QVector<double> &record : records) {
        for (double value : record) {
            if (!text.isEmpty())
                text += ',';
            appendValue(text, value);
        }
    }
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
    const QByteArray text = formatValues(source->dequeFirstWithFormat(unsigned(wanted)));
    *answer = new zo4882::ZOCmdArg(text.constData(), zo4882::ZOCmdArg::KIND_CHAR);
    return 0;
}
