#include "tools/hwmaint/McsReader.h"

#include <algorithm>

namespace {
int hexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

int pairAt(const QByteArray &t, int i)
{
    return hexDigit(t.at(i)) << 4 | hexDigit(t.at(i + 1));
}
} // namespace

const char *const McsReader::BlockZeroRecord = ":020000040000FA";

McsReader::McsReader(bool lsbFirst)
    : m_lsbFirst(lsbFirst)
{ }

quint8 McsReader::reverseBits(quint8 b)
{
    b = quint8((b & 0xF0) >> 4 | (b & 0x0F) << 4);
    b = quint8((b & 0xCC) >> 2 | (b & 0x33) << 2);
    return quint8((b & 0xAA) >> 1 | (b & 0x55) << 1);
}

McsReader::Line McsReader::error(int number, const char *text) const
{
    Line line;
    line.kind = Kind::Error;
    line.number = number;
    line.error = QString::fromLatin1(text);
    return line;
}

McsReader::Line McsReader::decode(const QByteArray &raw, int number)
{
    const QByteArray text = raw.trimmed();
    Line line;
    line.number = number;
    if (!text.startsWith(':'))
        return line;
    for (int i = 1; i < text.size(); ++i) {
        if (hexDigit(text.at(i)) < 0)
            return error(number, "Invalid Record character");
    }
    // Colon, count, address, type, checksum: 11 characters around the data pairs.
    if (text.size() < 11 || text.size() % 2 == 0)
        return error(number, "Invalid Record length");
    const int count = pairAt(text, 1);
    if (text.size() != 11 + 2 * count)
        return error(number, "Invalid Record length");
    quint8 sum = 0;
    for (int i = 1; i < text.size(); i += 2)
        sum = quint8(sum + pairAt(text, i));
    if (sum != 0)
        return error(number, "Checksum error");

    const quint32 address = quint32(pairAt(text, 3) << 8 | pairAt(text, 5));
    const int type = pairAt(text, 7);
    const quint32 value = count == 2 ? quint32(pairAt(text, 9) << 8 | pairAt(text, 11)) : 0;
    switch (type) {
    case 0:
        line.kind = count > 0 ? Kind::Data : Kind::Skip;
        line.address = m_upper + address;
        line.data.reserve(count);
        for (int i = 0; i < count; ++i) {
            const quint8 b = quint8(pairAt(text, 9 + 2 * i));
            line.data.append(char(m_lsbFirst ? reverseBits(b) : b));
        }
        return line;
    case 1:
        if (count != 0 || address != 0)
            break;
        m_upper = 0;
        line.kind = Kind::EndOfFile;
        return line;
    case 2:
        if (count != 2 || address != 0)
            break;
        // A segment base would move every address that follows; this flash takes none.
        if (value != 0)
            return error(number, "Extended Segment Address not supported");
        line.kind = Kind::SegmentAddress;
        return line;
    case 4:
        if (count != 2 || address != 0)
            break;
        m_upper = value << 16;
        line.kind = Kind::LinearAddress;
        line.value = value;
        line.address = m_upper;
        line.blockZeroRecord = text == BlockZeroRecord;
        return line;
    default:
        break;
    }
    return error(number, "Invalid Record type");
}

bool McsReader::read(const QByteArray &file, QVector<Line> *lines, Line *bad)
{
    lines->clear();
    bool ended = false;
    int number = 0;
    int start = 0;
    while (start < file.size()) {
        int end = file.indexOf('\n', start);
        if (end < 0)
            end = file.size();
        const Line line = decode(file.mid(start, end - start), ++number);
        start = end + 1;
        if (line.kind == Kind::Error) {
            *bad = line;
            return false;
        }
        ended = ended || line.kind == Kind::EndOfFile;
        if (line.kind != Kind::Skip)
            lines->append(line);
    }
    if (!ended) {
        *bad = error(0, "Missing End of File Record");
        return false;
    }

    // Two records for one byte would leave the flash holding neither.
    struct Span
    {
        quint64 begin;
        quint64 end;
        int number;
    };
    QVector<Span> spans;
    for (const Line &l : qAsConst(*lines)) {
        if (l.kind == Kind::Data)
            spans.append({ l.address, quint64(l.address) + quint64(l.data.size()), l.number });
    }
    std::sort(spans.begin(), spans.end(), [](const Span &a, const Span &b) {
        return a.begin < b.begin;
    });
    for (int i = 1; i < spans.size(); ++i) {
        if (spans.at(i).begin < spans.at(i - 1).end) {
            *bad = error(qMax(spans.at(i).number, spans.at(i - 1).number), "Overlapping records");
            return false;
        }
    }
    return true;
}
