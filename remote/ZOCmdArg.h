#pragma once

#include <QByteArray>

namespace zo4882 {

// One parameter or answer item of a command. Items form a singly linked chain; an item owns
// its successors, so deleting the head frees the whole chain.
class ZOCmdArg
{
public:
    // Item kinds (low 16 bits of the kind word).
    enum Kind : unsigned {
        KIND_INT = 1,
        KIND_REAL = 2,
        KIND_BOOL = 4,
        KIND_MINMAX = 16, // value +1 for MAX, -1 for MIN
        KIND_CHAR = 32,
        KIND_STRING = 64, // text without the quotes
        KIND_BLOCK_ANSWER = 128, // text holds the whole definite-length block, header included
        KIND_BLOCK = 256, // text holds the raw data bytes of a block parameter
    };

    // Argument-type word of one parameter position: accepted forms in bits 0..7, unit class in
    // bits 24..31 (see unitWord()).
    enum TypeBits : unsigned {
        ARG_INT = 0x01,
        ARG_REAL = 0x02,
        ARG_BOOL = 0x04,
        ARG_MINMAX = 0x10,
        ARG_CHAR = 0x20,
        ARG_STRING = 0x40,
        ARG_BLOCK = 0x80,
    };
    enum UnitClass : unsigned {
        UNIT_NONE = 0,
        UNIT_AMPERE = 1,
        UNIT_DEGREE = 2,
        UNIT_HERTZ = 3,
        UNIT_OHM = 4,
        UNIT_PERCENT = 5,
        UNIT_RADIAN = 6,
        UNIT_SECOND = 7,
        UNIT_SIEMENS = 8,
        UNIT_VOLT = 9,
        UNIT_WATT = 10,
        UNIT_HENRY = 11,
        UNIT_AMPERE_HOUR = 12,
        UNIT_WATT_HOUR = 13,
    };
    static constexpr unsigned unitWord(unsigned unitClass) { return unitClass << 24; }

    // Block parameters larger than this are refused with -161.
    static constexpr int BLOCK_MAX = 4096;
    // Character data longer than this is refused with -144.
    static constexpr int CHAR_DATA_MAX = 12;

    // KIND_INT rounds half away from zero (saturating at the int limits), KIND_BOOL stores 1 for
    // a non-zero rounded value, any other kind keeps the double.
    ZOCmdArg(double value, unsigned kind);
    // KIND_REAL stores a double, KIND_BOOL 1 for non-zero, any other kind the integer.
    ZOCmdArg(int value, unsigned kind);
    // Copies a NUL-terminated text.
    ZOCmdArg(const char *text, unsigned kind);
    // KIND_BLOCK_ANSWER builds "#<w><length><bytes>"; any other kind copies the bytes.
    ZOCmdArg(const char *bytes, int length, unsigned kind);
    ~ZOCmdArg();
    ZOCmdArg(const ZOCmdArg &) = delete;
    ZOCmdArg &operator=(const ZOCmdArg &) = delete;

    unsigned kind() const { return m_kind & 0xFFFFu; }
    ZOCmdArg *next() const { return m_next; }

    // Reals are rounded half away from zero; the low 8 bits of the integer are taken.
    explicit operator unsigned char() const;
    // Reals are rounded half away from zero and saturate at the int limits.
    explicit operator int() const;
    // Integer kinds (1, 4 and 16) give the integer, KIND_REAL the double, others 0.
    explicit operator double() const;
    // The text of kinds 32, 64, 128 and 256 (NUL-terminated), else null.
    explicit operator const char *() const;
    explicit operator const unsigned char *() const;
    int stringLen() const;
    const QByteArray &text() const { return m_text; }

    // True when the rounded numeric value is not zero (a boolean parameter's meaning).
    bool isTrue() const;

    // Number of items from this one to the end of the chain.
    int getNumArgs() const;
    // Appends item (and its chain) at the end of this chain, which takes ownership.
    ZOCmdArg &operator<<(ZOCmdArg *item);
    // Links n items (ZOCmdArg*, null ones skipped) in the order given; returns the first.
    static ZOCmdArg *linkChains(int n, ...);

    // The IEEE 488.2 answer form of this item: "%+d", "%+0.5E", 1/0, character data as is,
    // string data quoted with inner quotes doubled; other kinds give an empty text.
    QByteArray toString() const;
    // "%+0.5E" independent of the C locale; non-finite values give the SCPI NaN/infinity.
    static QByteArray formatReal(double value);

    // Converts one parameter (already upper-cased outside quotes and blocks) by its type word.
    // Returns a new item, or null with the SCPI error number stored through error.
    static ZOCmdArg *argfactory(const char *text, int length, unsigned typeWord, short *error);
    // String data: writes the unquoted text with doubled quotes undone and a NUL into out.
    // Returns 1, or 0 when the text is not valid string data or does not fit outSize bytes.
    static int trim_quotes_and_normalize(const char *text, int length, char *out, int outSize);

private:
    ZOCmdArg *last();

    unsigned m_kind;
    ZOCmdArg *m_next = nullptr;
    int m_int = 0;
    double m_real = 0.0;
    QByteArray m_text;
};

} // namespace zo4882
