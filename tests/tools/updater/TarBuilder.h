#pragma once

#include <QByteArray>

#include <zlib.h>

#include <cstring>

// Writes small tar archives member by member, and gzip-compresses bytes, for tests that feed the
// image reader archives no tar program would write.
class TarBuilder
{
public:
    // A ustar member header and its data; checksum false writes a wrong checksum.
    TarBuilder &member(const QByteArray &name,
        char type = '0',
        const QByteArray &data = QByteArray(),
        const QByteArray &link = QByteArray(),
        bool checksum = true)
    {
        char h[512];
        std::memset(h, 0, sizeof h);
        std::memcpy(h, name.constData(), size_t(qMin(name.size(), 100)));
        std::memcpy(h + 100, "0000644", 7);
        std::memcpy(h + 108, "0000000", 7);
        std::memcpy(h + 116, "0000000", 7);
        std::snprintf(h + 124, 12, "%011o", unsigned(data.size()));
        std::memcpy(h + 136, "00000000000", 11);
        h[156] = type;
        std::memcpy(h + 157, link.constData(), size_t(qMin(link.size(), 100)));
        std::memcpy(h + 257,
            "ustar\0"
            "00",
            8);
        std::memset(h + 148, ' ', 8);
        unsigned sum = 0;
        for (char c : h)
            sum += static_cast<unsigned char>(c);
        std::snprintf(h + 148, 8, "%06o", checksum ? sum : sum + 1);
        m_bytes.append(h, sizeof h);
        m_bytes.append(data);
        m_bytes.append(QByteArray((512 - data.size() % 512) % 512, '\0'));
        return *this;
    }

    // A pax extended header carrying one record for the next member.
    TarBuilder &pax(const QByteArray &key, const QByteArray &value)
    {
        QByteArray body = ' ' + key + '=' + value + '\n';
        int length = body.size() + 1;
        while (QByteArray::number(length).size() + body.size() != length)
            ++length;
        return member("PaxHeader", 'x', QByteArray::number(length) + body);
    }

    QByteArray tar() const { return m_bytes + QByteArray(1024, '\0'); }
    QByteArray gzip() const { return compress(tar()); }

    static QByteArray compress(const QByteArray &raw)
    {
        z_stream zs;
        std::memset(&zs, 0, sizeof zs);
        deflateInit2(&zs, Z_DEFAULT_COMPRESSION, Z_DEFLATED, 16 + MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
        QByteArray out(int(deflateBound(&zs, uLong(raw.size()))) + 64, '\0');
        zs.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(raw.constData()));
        zs.avail_in = uInt(raw.size());
        zs.next_out = reinterpret_cast<Bytef *>(out.data());
        zs.avail_out = uInt(out.size());
        deflate(&zs, Z_FINISH);
        out.truncate(int(zs.total_out));
        deflateEnd(&zs);
        return out;
    }

private:
    QByteArray m_bytes;
};
