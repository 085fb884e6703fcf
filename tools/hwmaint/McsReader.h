#pragma once

#include <QByteArray>
#include <QString>
#include <QVector>

// Reader of Intel MCS-86 hexadecimal object files (Intel HEX), the FPGA configuration images.
// One record per line, ASCII hexadecimal pairs after a colon:
//
//   0        ":"
//   1-2      byte count n
//   3-6      16-bit address
//   7-8      record type
//   9..      n data bytes
//   last     checksum: the 8-bit sum of every pair after the colon, itself included, is 0
//
// Types taken: 0 data (address + the upper address), 1 end of file (count and address 0; sets
// the upper address back to 0), 2 extended segment address (count 2, address 0; only the value
// 0, which moves nothing), 4 extended linear address (count 2, address 0; the value is the
// upper 16 bits of the addresses that follow). Lines that do not start with a colon are
// skipped. The upper address persists from line to line of one reader.
class McsReader
{
public:
    enum class Kind { Skip, Data, EndOfFile, SegmentAddress, LinearAddress, Error };

    struct Line
    {
        Kind kind = Kind::Skip;
        int number = 0; // counted from 1
        quint32 address = 0; // Data: the record's address; LinearAddress: the new upper address
        quint32 value = 0; // SegmentAddress and LinearAddress: the record's 16-bit value
        QByteArray data; // Data: the bytes, bit-reversed when the reader reverses them
        QString error; // Error: what is wrong with the line
        bool blockZeroRecord = false; // the line is exactly ":020000040000FA"
    };

    // lsbFirst: reverse the bit order of every data byte (0x01 becomes 0x80).
    explicit McsReader(bool lsbFirst = false);

    // Decodes one line (without its line end; surrounding blanks are ignored).
    Line decode(const QByteArray &text, int number = 0);
    // Decodes a whole file. False at the first line in error, at a missing end-of-file record
    // or at data records that overlap; *bad then tells which line and why (number 0: the file
    // as a whole). Line ends may be LF or CR LF.
    bool read(const QByteArray &file, QVector<Line> *lines, Line *bad);

    static quint8 reverseBits(quint8 byte);

    static const char *const BlockZeroRecord;

private:
    Line error(int number, const char *text) const;

    bool m_lsbFirst;
    quint32 m_upper = 0;
};
