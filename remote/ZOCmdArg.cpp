#include "remote/ZOCmdArg.h"

#include <charconv>
#include <climits>
#include <cmath>
#include <cstdarg>
#include <cstring>

namespace zo4882 {

namespace {

// Largest magnitude a numeric parameter may have; 9.91e37 is the SCPI NaN.
constexpr double NUMBER_LIMIT = 9.90000000000001e37;

struct UnitSuffix
{
    unsigned unitClass;
    const char *suffix;
    double multiplier;
};

// Longer suffixes of a class first is not needed: a suffix must match the whole rest.
const UnitSuffix s_suffixes[] = {
    { 1, "UA", 1e-6 },
    { 1, "MA", 1e-3 },
    { 1, "A", 1.0 },
    { 2, "DEG", 1.0 },
    { 3, "HZ", 1.0 },
    { 3, "KHZ", 1e3 },
    { 3, "MHZ", 1e6 },
    { 4, "OHM", 1.0 },
    { 4, "KOHM", 1e3 },
    { 5, "PCT", 1.0 },
    { 6, "RAD", 1.0 },
    { 7, "US", 1e-6 },
    { 7, "MS", 1e-3 },
    { 7, "S", 1.0 },
    { 7, "MIN", 60.0 },
    { 7, "HR", 3600.0 },
    { 8, "SIE", 1.0 },
    { 9, "MV", 1e-3 },
    { 9, "KV", 1e3 },
    { 9, "V", 1.0 },
    { 10, "MW", 1e-3 },
    { 10, "KW", 1e3 },
    { 10, "W", 1.0 },
    { 11, "H", 1.0 },
    { 12, "UAH", 1e-6 },
    { 12, "MAH", 1e-3 },
    { 12, "KAH", 1e3 },
    { 12, "AH", 1.0 },
    { 13, "MWH", 1e-3 },
    { 13, "KWH", 1e3 },
    { 13, "WH", 1.0 },
};

inline bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

inline bool isLetter(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

inline char upper(char c)
{
    return (c >= 'a' && c <= 'z') ? char(c - 'a' + 'A') : c;
}

inline bool isQuote(char c)
{
    return c == '"' || c == '\'';
}

bool equalsWord(const char *text, int length, const char *word)
{
    const int n = int(std::strlen(word));
    if (n != length)
        return false;
    for (int i = 0; i < n; ++i) {
        if (upper(text[i]) != word[i])
            return false;
    }
    return true;
}

bool beginsLikeDecimal(const char *text, int length)
{
    if (length <= 0)
        return false;
    const char c = text[0];
    return isDigit(c) || c == '.' || c == '+' || c == '-';
}

bool beginsLikeHex(const char *text, int length)
{
    return length >= 2 && text[0] == '#' && upper(text[1]) == 'H';
}

// Rounds half away from zero and saturates; NaN gives 0.
int roundSaturated(double v)
{
    if (std::isnan(v))
        return 0;
    const double r = std::round(v);
    if (r >= double(INT_MAX))
        return INT_MAX;
    if (r <= double(INT_MIN))
        return INT_MIN;
    return int(r);
}

// Reads a decimal number: [+-] digits [. digits] [E [+-] digits]; at least one mantissa
// digit. Returns 0 and the consumed length, -120 for no number, -222 beyond the limit.
short parseDecimal(const char *text, int length, double *value, int *consumed)
{
    int i = 0;
    bool negative = false;
    if (i < length && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    const int mantissaStart = i;
    int digits = 0;
    while (i < length && isDigit(text[i])) {
        ++i;
        ++digits;
    }
    if (i < length && text[i] == '.') {
        ++i;
        while (i < length && isDigit(text[i])) {
            ++i;
            ++digits;
        }
    }
    if (digits == 0)
        return -120;
    bool negativeExponent = false;
    if (i < length && upper(text[i]) == 'E') {
        int j = i + 1;
        if (j < length && (text[j] == '+' || text[j] == '-')) {
            negativeExponent = text[j] == '-';
            ++j;
        }
        if (j < length && isDigit(text[j])) {
            while (j < length && isDigit(text[j]))
                ++j;
            i = j;
        }
    }
    double v = 0.0;
    const auto r = std::from_chars(text + mantissaStart, text + i, v, std::chars_format::general);
    if (r.ec == std::errc::result_out_of_range) {
        // Underflow reads as zero; overflow is beyond any limit.
        if (!negativeExponent)
            return -222;
        v = 0.0;
    } else if (r.ec != std::errc() || r.ptr != text + i) {
        return -120;
    }
    *value = negative ? -v : v;
    *consumed = i;
    return 0;
}

// Reads "#H" and hexadecimal digits.
short parseHex(const char *text, int length, double *value, int *consumed)
{
    int i = 2;
    double v = 0.0;
    int digits = 0;
    while (i < length) {
        const char c = upper(text[i]);
        int d;
        if (isDigit(c))
            d = c - '0';
        else if (c >= 'A' && c <= 'F')
            d = c - 'A' + 10;
        else
            break;
        v = v * 16.0 + d;
        ++digits;
        ++i;
        if (v > NUMBER_LIMIT)
            return -222;
    }
    if (digits == 0)
        return -120;
    *value = v;
    *consumed = i;
    return 0;
}

// Rule for numbers. Returns an item, or null with *error set; *final tells that the error
// must not be overridden by later rules.
ZOCmdArg *convertNumber(const char *text, int length, unsigned typeWord, short *error, bool *final)
{
    double v = 0.0;
    int used = 0;
    short e;
    if (beginsLikeHex(text, length)) {
        e = parseHex(text, length, &v, &used);
    } else if (beginsLikeDecimal(text, length)) {
        e = parseDecimal(text, length, &v, &used);
    } else {
        *error = (length > 0 && isQuote(text[0])) ? -158 : -120;
        return nullptr;
    }
    if (e == 0 && std::fabs(v) > NUMBER_LIMIT)
        e = -222;
    if (e != 0) {
        *error = e;
        *final = e == -222;
        return nullptr;
    }

    const unsigned unitClass = typeWord >> 24;
    bool multiplied = false;
    if (used < length) {
        if (unitClass == 0) {
            *error = -138;
            return nullptr;
        }
        const char *suffix = text + used;
        const int suffixLength = length - used;
        for (int i = 0; i < suffixLength; ++i) {
            const char c = suffix[i];
            if (!(isLetter(c) || isDigit(c) || c == '.' || c == '+' || c == '-')) {
                *error = -131;
                return nullptr;
            }
        }
        const UnitSuffix *match = nullptr;
        for (const UnitSuffix &u : s_suffixes) {
            if (u.unitClass == unitClass && equalsWord(suffix, suffixLength, u.suffix)) {
                match = &u;
                break;
            }
        }
        if (!match) {
            *error = -131;
            return nullptr;
        }
        v *= match->multiplier;
        multiplied = true;
        if (std::fabs(v) > NUMBER_LIMIT) {
            *error = -222;
            *final = true;
            return nullptr;
        }
    }

    if ((typeWord & ZOCmdArg::ARG_REAL) || multiplied)
        return new ZOCmdArg(v, ZOCmdArg::KIND_REAL);
    // An integer-only position cannot carry a value beyond the 32-bit range.
    const double r = std::round(v);
    if (r > double(INT_MAX) || r < double(INT_MIN)) {
        *error = -222;
        *final = true;
        return nullptr;
    }
    return new ZOCmdArg(int(r), ZOCmdArg::KIND_INT);
}

ZOCmdArg *convertCharData(const char *text, int length, short *error)
{
    if (length > ZOCmdArg::CHAR_DATA_MAX) {
        *error = -144;
        return nullptr;
    }
    if (beginsLikeDecimal(text, length)) {
        *error = -128;
        return nullptr;
    }
    bool ok = length > 0 && (isLetter(text[0]) || text[0] == '(');
    for (int i = 1; ok && i < length; ++i)
        ok = static_cast<unsigned char>(text[i]) > ' ';
    if (!ok) {
        *error = (length > 0 && isQuote(text[0])) ? -158 : -141;
        return nullptr;
    }
    const QByteArray copy(text, length);
    return new ZOCmdArg(copy.constData(), ZOCmdArg::KIND_CHAR);
}

// Writes the unquoted string into out (at most outSize bytes, NUL excluded) and returns its
// length, or -1 when the text is not string data or does not fit.
int unquote(const char *text, int length, char *out, int outSize)
{
    if (length < 2 || !isQuote(text[0]) || text[length - 1] != text[0])
        return -1;
    const char q = text[0];
    int n = 0;
    for (int i = 1; i < length - 1; ++i) {
        if (text[i] == q) {
            if (i + 1 >= length - 1 || text[i + 1] != q)
                return -1;
            ++i;
        }
        if (n >= outSize)
            return -1;
        out[n++] = text[i];
    }
    return n;
}

ZOCmdArg *convertString(const char *text, int length, short *error)
{
    QByteArray out(length > 0 ? length : 1, '\0');
    const int n = unquote(text, length, out.data(), out.size());
    if (n < 0) {
        *error = -150;
        return nullptr;
    }
    return new ZOCmdArg(out.constData(), n, ZOCmdArg::KIND_STRING);
}

// '#', digit d (1..9), d length digits, then the data (possibly none: #10). Bytes after the
// data are ignored.
ZOCmdArg *convertBlock(const char *text, int length, short *error)
{
    if (length < 2 || text[0] != '#' || text[1] < '1' || text[1] > '9') {
        *error = -161;
        return nullptr;
    }
    const int d = text[1] - '0';
    if (length < 2 + d) {
        *error = -161;
        return nullptr;
    }
    long long n = 0;
    for (int i = 0; i < d; ++i) {
        const char c = text[2 + i];
        if (!isDigit(c)) {
            *error = -161;
            return nullptr;
        }
        n = n * 10 + (c - '0');
    }
    if (n > ZOCmdArg::BLOCK_MAX || n > length - 2 - d) {
        *error = -161;
        return nullptr;
    }
    return new ZOCmdArg(text + 2 + d, int(n), ZOCmdArg::KIND_BLOCK);
}

} // namespace

ZOCmdArg::ZOCmdArg(double value, unsigned kind)
    : m_kind(kind)
{
    switch (kind & 0xFFFFu) {
    case KIND_INT:
        m_int = roundSaturated(value);
        break;
    case KIND_BOOL:
        m_int = (std::isnan(value) || std::fabs(value) < 0.5) ? 0 : 1;
        break;
    default:
        m_real = value;
        break;
    }
}

ZOCmdArg::ZOCmdArg(int value, unsigned kind)
    : m_kind(kind)
{
    switch (kind & 0xFFFFu) {
    case KIND_REAL:
        m_real = value;
        break;
    case KIND_BOOL:
        m_int = value != 0 ? 1 : 0;
        break;
    default:
        m_int = value;
        break;
    }
}

ZOCmdArg::ZOCmdArg(const char *text, unsigned kind)
    : m_kind(kind)
    , m_text(text ? text : "")
{ }

ZOCmdArg::ZOCmdArg(const char *bytes, int length, unsigned kind)
    : m_kind(kind)
{
    if (length < 0)
        length = 0;
    if ((kind & 0xFFFFu) == KIND_BLOCK_ANSWER) {
        // At least four length digits, six from 10000 on, more when the length needs them, so
        // the header always announces exactly the bytes that follow.
        const QByteArray count = QByteArray::number(length);
        const int width = qMax(length < 10000 ? 4 : 6, count.size());
        m_text.reserve(2 + width + length);
        m_text.append('#');
        m_text.append(char('0' + width));
        m_text.append(QByteArray(width - count.size(), '0'));
        m_text.append(count);
        m_text.append(bytes, length);
    } else {
        m_text = QByteArray(bytes, length);
    }
}

ZOCmdArg::~ZOCmdArg()
{
    // Iterative, so that a long chain cannot exhaust the stack.
    ZOCmdArg *p = m_next;
    while (p) {
        ZOCmdArg *following = p->m_next;
        p->m_next = nullptr;
        delete p;
        p = following;
    }
}

ZOCmdArg::operator unsigned char() const
{
    return static_cast<unsigned char>(static_cast<unsigned>(int(*this)) & 0xFFu);
}

ZOCmdArg::operator int() const
{
    if (kind() == KIND_REAL)
        return roundSaturated(m_real);
    return m_int;
}

ZOCmdArg::operator double() const
{
    switch (kind()) {
    case KIND_INT:
    case KIND_BOOL:
    case KIND_MINMAX:
        return m_int;
    case KIND_REAL:
        return m_real;
    default:
        return 0.0;
    }
}

ZOCmdArg::operator const char *() const
{
    switch (kind()) {
    case KIND_CHAR:
    case KIND_STRING:
    case KIND_BLOCK_ANSWER:
    case KIND_BLOCK:
        return m_text.constData();
    default:
        return nullptr;
    }
}

ZOCmdArg::operator const unsigned char *() const
{
    return reinterpret_cast<const unsigned char *>(static_cast<const char *>(*this));
}

int ZOCmdArg::stringLen() const
{
    return static_cast<const char *>(*this) ? m_text.size() : 0;
}

bool ZOCmdArg::isTrue() const
{
    if (kind() == KIND_REAL)
        return !std::isnan(m_real) && std::fabs(m_real) >= 0.5;
    return m_int != 0;
}

int ZOCmdArg::getNumArgs() const
{
    int n = 0;
    for (const ZOCmdArg *p = this; p; p = p->m_next)
        ++n;
    return n;
}

ZOCmdArg *ZOCmdArg::last()
{
    ZOCmdArg *p = this;
    while (p->m_next)
        p = p->m_next;
    return p;
}

ZOCmdArg &ZOCmdArg::operator<<(ZOCmdArg *item)
{
    if (item && item != this)
        last()->m_next = item;
    return *this;
}

ZOCmdArg *ZOCmdArg::linkChains(int n, ...)
{
    va_list ap;
    va_start(ap, n);
    ZOCmdArg *first = nullptr;
    for (int i = 0; i < n; ++i) {
        ZOCmdArg *item = va_arg(ap, ZOCmdArg *);
        if (!item)
            continue;
        if (first)
            *first << item;
        else
            first = item;
    }
    va_end(ap);
    return first;
}

QByteArray ZOCmdArg::formatReal(double value)
{
    if (std::isnan(value))
        return QByteArrayLiteral("+9.91000E+37");
    if (std::isinf(value))
        return value > 0 ? QByteArrayLiteral("+9.90000E+37") : QByteArrayLiteral("-9.90000E+37");
    char buf[40];
    buf[0] = std::signbit(value) ? '-' : '+';
    const auto r = std::to_chars(
        buf + 1, buf + sizeof buf, std::fabs(value), std::chars_format::scientific, 5);
    for (char *p = buf + 1; p < r.ptr; ++p) {
        if (*p == 'e')
            *p = 'E';
    }
    return QByteArray(buf, int(r.ptr - buf));
}

QByteArray ZOCmdArg::toString() const
{
    switch (kind()) {
    case KIND_INT: {
        QByteArray s = QByteArray::number(m_int);
        if (m_int >= 0)
            s.prepend('+');
        return s;
    }
    case KIND_REAL:
        return formatReal(m_real);
    case KIND_BOOL:
        return m_int ? QByteArrayLiteral("1") : QByteArrayLiteral("0");
    case KIND_CHAR:
        return m_text;
    case KIND_STRING: {
        QByteArray s;
        s.reserve(m_text.size() + 2);
        s.append('"');
        for (char c : m_text) {
            if (c == '"')
                s.append('"');
            s.append(c);
        }
        s.append('"');
        return s;
    }
    default:
        return QByteArray();
    }
}

ZOCmdArg *ZOCmdArg::argfactory(const char *text, int length, unsigned typeWord, short *error)
{
    short e = -220;
    bool final = false;
    ZOCmdArg *arg = nullptr;
    if (!text || length < 0)
        length = 0;
    const bool quoted = length > 0 && isQuote(text[0]);

    if (typeWord & (ARG_INT | ARG_REAL)) {
        arg = convertNumber(text, length, typeWord, &e, &final);
        if (arg || final) {
            *error = arg ? 0 : e;
            return arg;
        }
    }
    if (typeWord & ARG_BOOL) {
        if (equalsWord(text, length, "ON"))
            arg = new ZOCmdArg(1, KIND_BOOL);
        else if (equalsWord(text, length, "OFF"))
            arg = new ZOCmdArg(0, KIND_BOOL);
        else
            e = quoted ? -158 : -224;
    }
    if (!arg && (typeWord & ARG_MINMAX)) {
        if (equalsWord(text, length, "MAX") || equalsWord(text, length, "MAXIMUM"))
            arg = new ZOCmdArg(1, KIND_MINMAX);
        else if (equalsWord(text, length, "MIN") || equalsWord(text, length, "MINIMUM"))
            arg = new ZOCmdArg(-1, KIND_MINMAX);
        else if (!beginsLikeDecimal(text, length) && !beginsLikeHex(text, length))
            e = quoted ? -158 : -224;
    }
    if (!arg && (typeWord & ARG_CHAR))
        arg = convertCharData(text, length, &e);
    if (!arg && (typeWord & ARG_STRING))
        arg = convertString(text, length, &e);
    if (!arg && (typeWord & ARG_BLOCK))
        arg = convertBlock(text, length, &e);

    *error = arg ? 0 : e;
    return arg;
}

int ZOCmdArg::trim_quotes_and_normalize(const char *text, int length, char *out, int outSize)
{
    if (!text || !out || outSize <= 0)
        return 0;
    const int n = unquote(text, length, out, outSize - 1);
    if (n < 0) {
        out[0] = '\0';
        return 0;
    }
    out[n] = '\0';
    return 1;
}

} // namespace zo4882
