#include "commands/Value_keyword_multi.h"

#include "remote/IKeywordBridge.h"

#include <QMutexLocker>

const char Value_keyword_multi::kvtype[] = "keyword_multi";

Value_keyword_multi::Value_keyword_multi(
    unsigned id, zostd::IKeywordBridge *bridge, unsigned char lowest, unsigned char highest)
    : zostd::ZOValueRegisterer(id, this)
    , m_id(id)
    , m_lowest(lowest)
    , m_highest(highest)
    , m_bridge(bridge)
{ }

int Value_keyword_multi::commit()
{
    return 0;
}

bool Value_keyword_multi::admits(const QVector<unsigned char> &indexes) const
{
    for (unsigned char index : indexes) {
        if (index < m_lowest || index > m_highest)
            return false;
    }
    return true;
}

int Value_keyword_multi::setValue(const QVector<unsigned char> &indexes)
{
    if (!admits(indexes))
        return -224;
    QMutexLocker lock(&m_mutex);
    m_indexes = indexes;
    return 0;
}

QVector<unsigned char> Value_keyword_multi::getValue() const
{
    QMutexLocker lock(&m_mutex);
    return m_indexes;
}

std::string Value_keyword_multi::toString() const
{
    const zostd::IKeywordBridge *bridge = getKeywordBridge();
    const QVector<unsigned char> indexes = getValue();
    std::string text;
    for (int i = 0; i < indexes.size(); ++i) {
        if (i > 0)
            text += ',';
        if (bridge)
            text += bridge->getMappedKeyword(indexes[i]);
    }
    return text;
}
