#pragma once

#include <QByteArray>
#include <QList>

// Answers that list names joined by "," (program list, zone catalogue) stay within the limit
// their handlers allow: names that would not fit whole are left out, from the first one that
// does not fit, so the answer is cut at a name boundary and never ends with a comma.
QByteArray joinWithinLimit(const QList<QByteArray> &names, int limit);
