#include "commands/ValueSystConfSoutProt.h"

#include <QMutex>
#include <QMutexLocker>

namespace {

QMutex s_mutex; // guards s_list
QVector<unsigned char> s_list { 0, 1, 2, 3, 4 };

} // namespace

ValueSystConfSoutProt::ValueSystConfSoutProt()
    : Value_keyword_multi(Id, nullptr, 0, 4)
{
    setKeywordBridge(this);
}

int ValueSystConfSoutProt::setValue(const QVector<unsigned char> &indexes)
{
    QMutexLocker lock(&s_mutex);
    s_list = indexes;
    return 0;
}

QVector<unsigned char> ValueSystConfSoutProt::getValue() const
{
    QMutexLocker lock(&s_mutex);
    return s_list;
}
