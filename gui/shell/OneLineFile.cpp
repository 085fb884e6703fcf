#include "gui/shell/OneLineFile.h"

#include <QFile>

OneLineFile::operator QString() const
{
    QFile file(m_path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return QString();
    // A line read with a limit of 256 bytes, terminator included.
    QByteArray line = file.readLine(256);
    const int nul = line.indexOf('\0');
    if (nul >= 0)
        line.truncate(nul);
    return QString::fromLatin1(line).trimmed();
}
