#include "gui/shell/InputEventDecoder.h"

#include <cstring>
#include <linux/input.h>

const int InputEventDecoder::RecordSize = int(sizeof(struct input_event));

InputEventDecoder::InputEventDecoder(quint16 position)
    : m_previous(position)
{ }

void InputEventDecoder::reset(quint16 position)
{
    m_partial.clear();
    m_previous = position;
}

QVector<short> InputEventDecoder::decode(const char *data, int size)
{
    QVector<short> changes;
    if (size <= 0)
        return changes;
    m_partial.append(data, size);
    int offset = 0;
    for (; m_partial.size() - offset >= RecordSize; offset += RecordSize) {
        struct input_event event;
        std::memcpy(&event, m_partial.constData() + offset, sizeof(event));
        if (event.type != EV_ABS)
            continue;
        const quint16 position = quint16(event.value);
        changes.append(short(quint16(position - m_previous)));
        m_previous = position;
    }
    m_partial.remove(0, offset);
    return changes;
}
