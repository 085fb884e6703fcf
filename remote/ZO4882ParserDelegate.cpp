#include "remote/ZO4882ParserDelegate.h"

#include "remote/IDictIndex.h"
#include "remote/IParserEventSink.h"
#include "remote/SYST_ERR_INFO.h"
#include "remote/ZOCmdArg.h"
#include "remote/ZOSystErrCue.h"
#include "remote/ZO_SCPI_DICT_ENTRY.h"

#include <QRegularExpression>
#include <QString>

#include <climits>
#include <cstring>

namespace zo4882 {

namespace {

inline bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

inline bool isUpper(char c)
{
    return c >= 'A' && c <= 'Z';
}

inline bool below(char c, unsigned char limit)
{
    return static_cast<unsigned char>(c) < limit;
}

// Length of a root prefix ("SOUR:" or "SOURCE:" and the like) at the start of header, or 0.
int rootLength(const char *header, DEFAULT_NODE_TYPES root)
{
    static const char *const forms[][2] = {
        { nullptr, nullptr },
        { "SOUR:", "SOURCE:" },
        { "SENS:", "SENSE:" },
        { "ROUT:", "ROUTE:" },
    };
    if (root < NODE_SOURCE || root > NODE_ROUTE)
        return 0;
    for (const char *form : forms[root]) {
        const size_t n = std::strlen(form);
        if (std::strncmp(header, form, n) == 0)
            return int(n);
    }
    return 0;
}

// The decimal number starting at the first digit that is followed by a digit, ':', '?', a
// character below '!' or the end; 0 when there is none. Saturates at INT_MAX.
int headerSuffix(const char *header)
{
    for (const char *p = header; *p; ++p) {
        if (!isDigit(*p))
            continue;
        const char n = p[1];
        if (!(isDigit(n) || n == ':' || n == '?' || below(n, '!')))
            continue;
        long long v = 0;
        for (; isDigit(*p); ++p) {
            v = v * 10 + (*p - '0');
            if (v > INT_MAX)
                v = INT_MAX;
        }
        return int(v);
    }
    return 0;
}

// Upper-cases letters and turns control characters into blanks outside quotes; everything
// from a '#' followed by a digit (block data) on is left alone.
void upperCase(char *text, int length)
{
    char quote = 0;
    for (int i = 0; i < length; ++i) {
        char &c = text[i];
        if (quote) {
            if (c == quote)
                quote = 0;
            continue;
        }
        if (c == '"' || c == '\'') {
            quote = c;
        } else if (c == '#' && i + 1 < length && isDigit(text[i + 1])) {
            // Block data is stepped over whole; when its header is malformed the rest is
            // left as it is.
            const int digits = text[i + 1] - '0';
            long long n = 0;
            int k = 0;
            while (k < digits && i + 2 + k < length && isDigit(text[i + 2 + k]))
                n = n * 10 + (text[i + 2 + k++] - '0');
            if (digits == 0 || k < digits)
                return;
            const long long end = static_cast<long long>(i) + 2 + digits + n;
            if (end >= length)
                return;
            i = int(end) - 1;
        } else if (c >= 'a' && c <= 'z') {
            c = char(c - 'a' + 'A');
        } else if (below(c, 0x20)) {
            c = ' ';
        }
    }
}

// Reads digits at text[*i]; saturates far beyond any channel number.
bool readNumber(const char *text, int length, int *i, long long *value)
{
    if (*i >= length || !isDigit(text[*i]))
        return false;
    long long v = 0;
    while (*i < length && isDigit(text[*i])) {
        v = v * 10 + (text[*i] - '0');
        if (v > 1000000)
            v = 1000000;
        ++*i;
    }
    *value = v;
    return true;
}

} // namespace

ZO4882ParserDelegate::ZO4882ParserDelegate(IParserEventSink *sink)
    : m_sink(sink)
{
    m_work[0] = '\0';
    m_response[0] = '\0';
}

void ZO4882ParserDelegate::registerDictionary(const IDictIndex *dict, DEFAULT_NODE_TYPES root)
{
    m_dict = dict;
    m_root = root;
}

int ZO4882ParserDelegate::parse(
    INTF_TYPE_ENUM intf, const char *text, int length, const unsigned &denyFlags)
{
    m_intf = intf;
    m_responseLength = 0;
    m_responseDropped = false;
    m_path.clear();
    if (!text || length <= 0)
        return 0;

    const int split = m_units.eatit(text, length, ';', '\n');
    if (split == m_units.TooMany)
        queue(-113, nullptr, nullptr);

    for (int u = 0; u < m_units.count(); ++u) {
        const UnitOutcome outcome = m_units.length(u) > 0
            ? runUnit(m_units.token(u), m_units.length(u), denyFlags)
            : Continue;
        if (m_abort.load()) {
            m_responseLength = 0;
            break;
        }
        if (outcome == EndMessage)
            break;
    }

    if (m_responseDropped)
        m_responseLength = 0;
    if (m_responseLength > 0)
        m_response[m_responseLength - 1] = '\n';
    m_units.clear();
    m_nodes.clear();
    m_path.clear();
    m_params.clear();
    return m_responseLength;
}

ZO4882ParserDelegate::UnitOutcome ZO4882ParserDelegate::runUnit(
    const char *unit, int length, const unsigned &denyFlags)
{
    // Header nodes of the unit itself, checked before anything is copied.
    int headerLength = 0;
    while (headerLength < length && !below(unit[headerLength], '!'))
        ++headerLength;
    const int nodes = m_nodes.eatit(unit, headerLength, ':', '\0');
    if (nodes == m_nodes.TooMany) {
        queue(-113, nullptr, nullptr);
        return EndMessage;
    }
    bool nodeTooLong = nodes == m_nodes.TooLong;
    for (int i = 0; !nodeTooLong && i < m_nodes.count(); ++i) {
        const char *q =
            static_cast<const char *>(std::memchr(m_nodes.token(i), '?', m_nodes.length(i)));
        const int counted = q ? int(q - m_nodes.token(i)) : m_nodes.length(i);
        nodeTooLong = counted > MAX_NODE_LENGTH;
    }
    if (nodeTooLong) {
        queueRaw(-112, unit, headerLength, length);
        return Continue;
    }

    // Header path and unit into the work buffer.
    if (!expand(unit, length)) {
        queueRaw(-113, unit, headerLength, length);
        return Continue;
    }

    // Header up to the first character below '!', parameters from the next one above it.
    int h = 0;
    while (h < m_workLength && !below(m_work[h], '!'))
        ++h;
    int p = h;
    while (p < m_workLength && below(m_work[p], '!'))
        ++p;
    upperCase(m_work, h);
    upperCase(m_work + p, m_workLength - p);
    m_work[h] = '\0';
    char *const expanded = m_work;
    char *const params = m_work + p;
    const int paramsLength = m_workLength - p;

    const int root = rootLength(expanded, m_root);
    const char *const header = expanded + root;

    int first = 0;
    int last = -1;
    if (m_dict)
        m_dict->getRange(header, &first, &last);

    m_result = ZO_PARSER_RESULT();
    m_result.intf = m_intf;

    for (const char *c = header; *c; ++c) {
        if (*c == '?') {
            m_result.query = 1;
            if (c[1] != '\0') {
                queue(-103, expanded, params);
                return Continue;
            }
        } else if (!(isUpper(*c) || isDigit(*c) || *c == '*' || *c == ':')) {
            queue(-103, expanded, params);
            return Continue;
        }
    }

    const ZO_SCPI_DICT_ENTRY *entry = nullptr;
    const QString headerText = QString::fromLatin1(header);
    for (int i = first; i <= last && !entry; ++i) {
        const ZO_SCPI_DICT_ENTRY *row = m_dict->getDict(i);
        if (!row || !row->regex || !m_dict->checkPossibility(header, i))
            continue;
        if (root > 0 && !row->optionalRoot)
            continue;
        if (row->regex->match(headerText).hasMatch())
            entry = row;
    }
    if (!entry) {
        queue(-113, expanded, params);
        return Continue;
    }
    m_result.entry = entry;
    m_result.header = header;
    m_result.params = params;
    m_result.suffix = headerSuffix(header);

    const bool query = m_result.query != 0;
    if (!query && (entry->denyClass & denyFlags)) {
        queue(m_sink->OnSettingsConflict(entry->denyClass & denyFlags), expanded, params);
        return Continue;
    }

    if (m_params.eatit(params, paramsLength, ',', '\n') == m_params.TooMany) {
        queue(-108, expanded, params);
        return Continue;
    }

    // Trailing channel lists do not count as arguments.
    int arguments = m_params.count();
    if (query ? entry->queryChannelList : entry->setChannelList) {
        while (arguments > 0 && m_params.length(arguments - 1) >= 2
            && std::strncmp(m_params.token(arguments - 1), "(@", 2) == 0)
            --arguments;
        if (arguments < m_params.count()) {
            const short e = parseChannelLists(arguments, &m_result.channels);
            if (e) {
                queue(e, expanded, params);
                return Continue;
            }
        }
    }

    const unsigned counts = query ? entry->queryArgCount : entry->setArgCount;
    const short minimum = static_cast<short>(counts & 0xFFFFu);
    const short maximum = static_cast<short>(counts >> 16);
    if (arguments < minimum) {
        queue(-109, expanded, params);
        return Continue;
    }
    if (arguments > maximum) {
        queue(-108, expanded, params);
        return Continue;
    }

    const unsigned *types = query ? entry->queryArgTypes : entry->setArgTypes.load();
    ZOCmdArg *chain = nullptr;
    ZOCmdArg *tail = nullptr;
    for (int i = 0; i < arguments; ++i) {
        short e = 0;
        ZOCmdArg *arg =
            ZOCmdArg::argfactory(m_params.token(i), m_params.length(i), types ? types[i] : 0u, &e);
        if (!arg) {
            delete chain;
            queue(e ? e : short(-220), expanded, params);
            return Continue;
        }
        if (tail)
            *tail << arg;
        else
            chain = arg;
        tail = arg;
    }
    m_result.args = chain;
    m_result.responseRoom = m_responseDropped ? 0 : RESPONSE_SIZE - 2 - m_responseLength;

    ZOCmdArg *answer = nullptr;
    m_sink->OnParsed(&m_result, denyFlags, &answer);
    delete chain;
    m_result.args = nullptr;
    appendAnswer(answer, header, params);
    delete answer;
    return Continue;
}

bool ZO4882ParserDelegate::expand(const char *unit, int length)
{
    const int nodes = m_nodes.count();
    int prefix = 0;
    const char *copyFrom = unit;
    int copyLength = length;
    if (unit[0] == ':') {
        ++copyFrom;
        --copyLength;
    } else if (unit[0] != '*') {
        for (int i = 0; i < m_path.count(); ++i)
            prefix += m_path.length(i) + 1;
    }
    if (prefix + copyLength > WORK_SIZE - 1)
        return false;

    int pos = 0;
    if (unit[0] == ':') {
        m_path.clear();
        for (int i = 1; i < nodes - 1; ++i)
            m_path.append(m_nodes.token(i), m_nodes.length(i));
    } else if (unit[0] != '*') {
        for (int i = 0; i < m_path.count(); ++i) {
            std::memcpy(m_work + pos, m_path.token(i), size_t(m_path.length(i)));
            pos += m_path.length(i);
            m_work[pos++] = ':';
        }
        // Nodes beyond the ninth are not kept; append() refuses them.
        for (int i = 0; i < nodes - 1; ++i)
            m_path.append(m_nodes.token(i), m_nodes.length(i));
    }
    std::memcpy(m_work + pos, copyFrom, size_t(copyLength));
    pos += copyLength;
    m_work[pos] = '\0';
    m_workLength = pos;
    return true;
}

// "(@1,3)", "(@1:3)" and "(@1,2:3)": numbers strictly ascending from 1. Numbers are capped
// while read and ranges are walked only inside the 32 channel bits, so a huge bound costs
// nothing. Channels with no bit (32 and above) are channels this instrument does not have.
short ZO4882ParserDelegate::parseChannelLists(int first, unsigned *channels) const
{
    unsigned bits = 0;
    bool beyond = false;
    for (int t = first; t < m_params.count(); ++t) {
        const char *s = m_params.token(t);
        const int n = m_params.length(t);
        for (int i = 0; i < n; ++i) {
            const char c = s[i];
            if (!(isDigit(c) || c == '(' || c == ')' || c == '@' || c == ',' || c == ':'))
                return -171;
        }
        if (n < 4 || s[0] != '(' || s[1] != '@' || !isDigit(s[2]) || s[n - 1] != ')')
            return -171;
        int i = 2;
        long long previous = 0;
        for (;;) {
            long long a = 0;
            if (!readNumber(s, n, &i, &a) || a <= previous)
                return -171;
            long long b = a;
            if (i < n && s[i] == ':') {
                ++i;
                if (!readNumber(s, n, &i, &b) || b <= a)
                    return -171;
            }
            previous = b;
            for (long long ch = a; ch <= b && ch < 32; ++ch)
                bits |= 1u << ch;
            if (b >= 32)
                beyond = true;
            if (i < n && s[i] == ',') {
                ++i;
                continue;
            }
            if (i == n - 1 && s[i] == ')')
                break;
            return -171;
        }
    }
    if (beyond || (bits & ~CHANNEL_MASK))
        return -241;
    *channels = bits;
    return 0;
}

void ZO4882ParserDelegate::appendAnswer(ZOCmdArg *answer, const char *header, const char *params)
{
    if (!answer || m_responseDropped)
        return;
    const int start = m_responseLength;
    int pos = start;
    for (const ZOCmdArg *item = answer; item; item = item->next()) {
        const QByteArray text =
            item->kind() == ZOCmdArg::KIND_BLOCK_ANSWER ? item->text() : item->toString();
        // The separator after the item (',' ';' or the final newline) needs one byte too.
        if (text.size() + 1 > RESPONSE_SIZE - 1 - pos) {
            m_responseDropped = true;
            m_responseLength = 0;
            queue(-400, header, params);
            return;
        }
        std::memcpy(m_response + pos, text.constData(), size_t(text.size()));
        pos += text.size();
        m_response[pos++] = ',';
    }
    m_response[pos - 1] = ';';
    m_responseLength = pos;
}

void ZO4882ParserDelegate::queue(short code, const char *header, const char *params) const
{
    if (code != 0)
        s_systErrCue.cue(SYST_ERR_INFO(code, m_intf, header, params));
}

// Errors found before the unit is expanded carry the unit's own header and parameters.
void ZO4882ParserDelegate::queueRaw(
    short code, const char *unit, int headerLength, int length) const
{
    int p = headerLength;
    while (p < length && below(unit[p], '!'))
        ++p;
    const QByteArray header(unit, headerLength);
    const QByteArray params(unit + p, length - p);
    queue(code, header.constData(), params.constData());
}

} // namespace zo4882
