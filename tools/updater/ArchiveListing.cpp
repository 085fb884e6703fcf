#include "tools/updater/ArchiveListing.h"

#include <QFile>
#include <QHash>
#include <QIODevice>
#include <QStringList>

#include <zlib.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <limits>

namespace updater {

namespace {

constexpr int BlockSize = 512;
constexpr int MaxLinkHops = 40; // as the kernel's limit on nested symbolic links

// Inflates one or more concatenated gzip members, as gzip -d does; bytes after the last member
// that do not start another member are ignored, as gzip ignores them.
class GunzipStream
{
public:
    explicit GunzipStream(QIODevice *in)
        : m_in(in)
    {
        std::memset(&m_zs, 0, sizeof m_zs);
        m_ok = inflateInit2(&m_zs, 16 + MAX_WBITS) == Z_OK;
        if (!m_ok)
            m_reason = QStringLiteral("cannot start the decompressor");
    }
    ~GunzipStream() { inflateEnd(&m_zs); }
    GunzipStream(const GunzipStream &) = delete;
    GunzipStream &operator=(const GunzipStream &) = delete;

    // Reads up to n bytes; returns how many (fewer only at the end), or -1 on a fault.
    qint64 read(char *out, qint64 n)
    {
        qint64 got = 0;
        while (m_ok && got < n && !m_end) {
            if (m_memberEnded) {
                startNextMember();
                continue;
            }
            if (m_zs.avail_in == 0 && !fill()) {
                if (m_ok)
                    fail(QStringLiteral("the archive is empty or cut short"));
                break;
            }
            m_zs.next_out = reinterpret_cast<Bytef *>(out + got);
            m_zs.avail_out = static_cast<uInt>(n - got);
            const int rc = inflate(&m_zs, Z_NO_FLUSH);
            got = n - m_zs.avail_out;
            if (rc == Z_STREAM_END)
                m_memberEnded = true;
            else if (rc != Z_OK && rc != Z_BUF_ERROR)
                fail(QStringLiteral("the archive does not decompress (%1)")
                         .arg(QString::fromLatin1(m_zs.msg ? m_zs.msg : "bad data")));
        }
        return m_ok ? got : -1;
    }

    QString reason() const { return m_reason; }

private:
    void fail(const QString &reason)
    {
        m_ok = false;
        m_reason = reason;
    }

    // Tops up the input buffer, keeping what is left in it; false when nothing more came.
    bool fill()
    {
        if (m_inputEnded)
            return false;
        const qint64 kept = m_zs.avail_in;
        if (kept > 0)
            std::memmove(m_buffer.data(), m_zs.next_in, static_cast<size_t>(kept));
        const qint64 r = m_in->read(m_buffer.data() + kept, qint64(m_buffer.size()) - kept);
        if (r < 0) {
            fail(QStringLiteral("the archive cannot be read"));
            return false;
        }
        if (r == 0)
            m_inputEnded = true;
        m_zs.next_in = reinterpret_cast<Bytef *>(m_buffer.data());
        m_zs.avail_in = static_cast<uInt>(kept + r);
        return r > 0;
    }

    // After a member's end: another member when the next bytes carry gzip's magic, else the end.
    void startNextMember()
    {
        while (m_zs.avail_in < 2 && fill()) { }
        if (!m_ok)
            return;
        if (m_zs.avail_in < 2 || m_zs.next_in[0] != 0x1f || m_zs.next_in[1] != 0x8b) {
            m_end = true;
            return;
        }
        inflateReset(&m_zs);
        m_memberEnded = false;
    }

    QIODevice *m_in;
    z_stream m_zs;
    std::array<char, 64 * 1024> m_buffer;
    bool m_ok = false;
    bool m_inputEnded = false;
    bool m_memberEnded = false;
    bool m_end = false;
    QString m_reason;
};

// A NUL-terminated text field of a header, at most size bytes.
QByteArray field(const char *block, int offset, int size)
{
    const char *start = block + offset;
    const void *nul = std::memchr(start, 0, static_cast<size_t>(size));
    return QByteArray(start, nul ? int(static_cast<const char *>(nul) - start) : size);
}

// An octal number field (blanks and NULs around it), or GNU's base-256 form for big sizes.
bool number(const char *block, int offset, int size, qint64 *value)
{
    const auto *p = reinterpret_cast<const unsigned char *>(block + offset);
    if (p[0] & 0x80) {
        if (p[0] != 0x80)
            return false; // negative or too big
        qint64 v = 0;
        for (int i = 1; i < size; ++i) {
            if (v > (std::numeric_limits<qint64>::max() >> 8))
                return false;
            v = (v << 8) | p[i];
        }
        *value = v;
        return true;
    }
    int i = 0;
    while (i < size && p[i] == ' ')
        ++i;
    qint64 v = 0;
    bool digits = false;
    for (; i < size && p[i] >= '0' && p[i] <= '7'; ++i) {
        if (v > (std::numeric_limits<qint64>::max() >> 3))
            return false;
        v = v * 8 + (p[i] - '0');
        digits = true;
    }
    for (; i < size; ++i) {
        if (p[i] != ' ' && p[i] != 0)
            return false;
    }
    *value = v;
    return digits;
}

bool checksumMatches(const char *block)
{
    qint64 stored = 0;
    if (!number(block, 148, 8, &stored))
        return false;
    qint64 unsignedSum = 0;
    qint64 signedSum = 0;
    for (int i = 0; i < BlockSize; ++i) {
        const bool inField = i >= 148 && i < 156;
        unsignedSum += inField ? ' ' : static_cast<unsigned char>(block[i]);
        signedSum += inField ? ' ' : static_cast<signed char>(block[i]);
    }
    return stored == unsignedSum || stored == signedSum;
}

// "a/./b/" -> {"a", "b"}; false for an absolute name, an empty one or one with "..".
bool memberComponents(const QString &name, QStringList *components)
{
    if (name.isEmpty() || name.startsWith(QLatin1Char('/')))
        return false;
    components->clear();
    for (const QString &part : name.split(QLatin1Char('/'))) {
        if (part.isEmpty() || part == QLatin1String("."))
            continue;
        if (part == QLatin1String(".."))
            return false;
        components->append(part);
    }
    return !components->isEmpty() || name.startsWith(QLatin1Char('.'));
}

class TarWalk
{
public:
    explicit TarWalk(GunzipStream *in)
        : m_in(in)
    { }

    bool run(QString *reason)
    {
        if (!walk()) {
            *reason = m_reason;
            return false;
        }
        // Links are judged once the whole archive is known, since a target may pass through a
        // link listed after it.
        for (auto it = m_links.cbegin(); it != m_links.cend(); ++it) {
            QStringList dir = it.key().split(QLatin1Char('/'));
            dir.removeLast();
            int hops = 0;
            if (!resolveInside(&dir, it.value(), &hops)) {
                *reason = QStringLiteral("the link %1 points outside the folder (%2)")
                              .arg(it.key(), it.value());
                return false;
            }
        }
        return true;
    }

private:
    bool fail(const QString &reason)
    {
        m_reason = reason;
        return false;
    }

    // Reads exactly n bytes; a short read is a cut-short archive (or the stream's own fault).
    bool readExact(char *out, qint64 n)
    {
        const qint64 r = m_in->read(out, n);
        if (r < 0)
            return fail(m_in->reason());
        if (r != n)
            return fail(QStringLiteral("the archive is cut short"));
        return true;
    }

    bool skip(qint64 size)
    {
        char scratch[16 * BlockSize];
        qint64 left = (size + BlockSize - 1) / BlockSize * BlockSize;
        while (left > 0) {
            const qint64 n = qMin<qint64>(left, sizeof scratch);
            if (!readExact(scratch, n))
                return false;
            left -= n;
        }
        return true;
    }

    bool readRecord(qint64 size, QByteArray *data)
    {
        if (size > ArchiveListing::MaxRecordSize)
            return fail(QStringLiteral("an extended header of %1 bytes is too long").arg(size));
        data->resize(int((size + BlockSize - 1) / BlockSize * BlockSize));
        if (!readExact(data->data(), data->size()))
            return false;
        data->truncate(int(size));
        return true;
    }

    // Records "<length> <key>=<value>\n" of a pax extended header.
    bool parsePax(const QByteArray &data, QHash<QByteArray, QByteArray> *records)
    {
        int pos = 0;
        while (pos < data.size()) {
            const int blank = data.indexOf(' ', pos);
            if (blank < 0)
                return fail(QStringLiteral("a bad extended header"));
            bool ok = false;
            const int length = data.mid(pos, blank - pos).toInt(&ok, 10);
            if (!ok || length <= blank - pos + 1 || length > data.size() - pos
                || data.at(pos + length - 1) != '\n')
                return fail(QStringLiteral("a bad extended header"));
            const QByteArray record = data.mid(blank + 1, pos + length - blank - 2);
            const int eq = record.indexOf('=');
            if (eq <= 0)
                return fail(QStringLiteral("a bad extended header"));
            records->insert(record.left(eq), record.mid(eq + 1));
            pos += length;
        }
        return true;
    }

    static QString text(const QByteArray &bytes)
    {
        const int nul = bytes.indexOf('\0');
        return QString::fromUtf8(nul < 0 ? bytes : bytes.left(nul));
    }

    bool walk()
    {
        char block[BlockSize];
        QString longName, longLink;
        QHash<QByteArray, QByteArray> pax;
        int members = 0;
        for (;;) {
            const qint64 r = m_in->read(block, BlockSize);
            if (r < 0)
                return fail(m_in->reason());
            if (r == 0)
                return members > 0 ? true : fail(QStringLiteral("the archive holds nothing"));
            if (r != BlockSize)
                return fail(QStringLiteral("the archive is cut short"));
            if (std::all_of(block, block + BlockSize, [](char c) {
                    return c == 0;
                }))
                return members > 0 ? true : fail(QStringLiteral("the archive holds nothing"));
            if (!checksumMatches(block))
                return fail(QStringLiteral("a member header is damaged"));
            qint64 size = 0;
            if (!number(block, 124, 12, &size))
                return fail(QStringLiteral("a member size is not a number"));
            const char type = block[156];
            if (type == 'L' || type == 'K' || type == 'x' || type == 'g') {
                QByteArray data;
                if (!readRecord(size, &data))
                    return false;
                if (type == 'L') {
                    longName = text(data);
                } else if (type == 'K') {
                    longLink = text(data);
                } else {
                    QHash<QByteArray, QByteArray> records;
                    if (!parsePax(data, &records))
                        return false;
                    if (type == 'g' && (records.contains("path") || records.contains("linkpath")))
                        return fail(QStringLiteral("a global header names a member"));
                    if (type == 'x')
                        pax.insert(records);
                }
                continue;
            }
            if (++members > ArchiveListing::MaxMembers)
                return fail(QStringLiteral("the archive lists too many members"));

            QString name = longName;
            if (pax.contains("path"))
                name = QString::fromUtf8(pax.value("path"));
            if (name.isEmpty()) {
                name = QString::fromUtf8(field(block, 0, 100));
                // POSIX ustar keeps the start of a long name in the prefix field.
                if (std::memcmp(block + 257, "ustar\0", 6) == 0) {
                    const QByteArray prefix = field(block, 345, 155);
                    if (!prefix.isEmpty())
                        name = QString::fromUtf8(prefix) + QLatin1Char('/') + name;
                }
            }
            QString link = longLink;
            if (pax.contains("linkpath"))
                link = QString::fromUtf8(pax.value("linkpath"));
            if (link.isEmpty())
                link = QString::fromUtf8(field(block, 157, 100));
            if (pax.contains("size")) {
                bool ok = false;
                size = pax.value("size").toLongLong(&ok, 10);
                if (!ok || size < 0)
                    return fail(QStringLiteral("a member size is not a number"));
            }
            longName.clear();
            longLink.clear();
            pax.clear();

            if (!member(type, name, link))
                return false;
            if (!skip(size))
                return false;
        }
    }

    bool member(char type, const QString &name, const QString &link)
    {
        QStringList components;
        if (!memberComponents(name, &components))
            return fail(QStringLiteral("the member %1 would land outside the folder").arg(name));
        const QString key = components.join(QLatin1Char('/'));
        switch (type) {
        case '0':
        case '\0':
        case '7':
        case '3':
        case '4':
        case '5':
        case '6':
            m_links.remove(key);
            return true;
        case '1': {
            QStringList target;
            if (!memberComponents(link, &target))
                return fail(QStringLiteral("the hard link %1 points outside the folder (%2)")
                                .arg(name, link));
            m_links.remove(key);
            return true;
        }
        case '2':
            if (link.isEmpty() || link.startsWith(QLatin1Char('/')))
                return fail(
                    QStringLiteral("the link %1 points outside the folder (%2)").arg(name, link));
            m_links.insert(key, link);
            return true;
        default:
            return fail(QStringLiteral("the member %1 has the unsupported type '%2'")
                            .arg(name, QString::fromLatin1(&type, 1)));
        }
    }

    // Follows target from the folder dir (components below the unpack folder) through the
    // archive's links; false when it leaves the folder, is absolute or loops.
    bool resolveInside(QStringList *dir, const QString &target, int *hops) const
    {
        if (target.startsWith(QLatin1Char('/')))
            return false;
        for (const QString &part : target.split(QLatin1Char('/'))) {
            if (part.isEmpty() || part == QLatin1String("."))
                continue;
            if (part == QLatin1String("..")) {
                if (dir->isEmpty())
                    return false;
                dir->removeLast();
                continue;
            }
            dir->append(part);
            const auto link = m_links.constFind(dir->join(QLatin1Char('/')));
            if (link != m_links.cend()) {
                if (++*hops > MaxLinkHops)
                    return false;
                dir->removeLast();
                if (!resolveInside(dir, link.value(), hops))
                    return false;
            }
        }
        return true;
    }

    GunzipStream *m_in;
    QHash<QString, QString> m_links; // symbolic link member -> its target
    QString m_reason;
};

} // namespace

bool ArchiveListing::isContained(QIODevice *gzipped, QString *reason)
{
    GunzipStream stream(gzipped);
    TarWalk walk(&stream);
    return walk.run(reason);
}

bool ArchiveListing::isContainedFile(const QString &path, QString *reason)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *reason = QStringLiteral("cannot open %1: %2").arg(path, file.errorString());
        return false;
    }
    return isContained(&file, reason);
}

} // namespace updater
