#include "commands/AnswerList.h"

QByteArray joinWithinLimit(const QList<QByteArray> &names, int limit)
{
    QByteArray text;
    for (const QByteArray &name : names) {
        const int needed = (text.isEmpty() ? 0 : 1) + name.size();
        if (text.size() + needed > limit)
            break;
        if (!text.isEmpty())
            text += ',';
        text += name;
    }
    return text;
}
