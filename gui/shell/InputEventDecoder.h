#pragma once

#include <QByteArray>
#include <QVector>

// Decodes the records of a Linux input device (struct input_event in the machine's own layout:
// time, type 16 bit, code 16 bit, value signed 32 bit) into the position changes of an absolute
// axis. Every EV_ABS record, whatever its code, is one change: the difference of its value and
// the previous one, both taken on 16 bits, so the count wraps as the encoder's does. Other
// record types are skipped. Bytes of an incomplete record wait for the next call.
class InputEventDecoder
{
public:
    // Size of one record: 24 bytes on a 64-bit machine, 16 on the 32-bit board.
    static const int RecordSize;

    explicit InputEventDecoder(quint16 position = 0);

    // Starts over from position (a device just opened): drops any incomplete record.
    void reset(quint16 position);
    // Returns the position change of each EV_ABS record completed by data, in order.
    QVector<short> decode(const char *data, int size);
    quint16 position() const { return m_previous; }

private:
    QByteArray m_partial; // the start of a record whose rest has not been read yet
    quint16 m_previous;
};
