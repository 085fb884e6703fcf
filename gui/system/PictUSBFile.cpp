#include "gui/system/PictUSBFile.h"

#include <QCoreApplication>
#include <QFileInfo>

namespace {
constexpr int MaxUntitled = 999;
}

QString PictUSBFile::generateSaveName(const QString &folder)
{
    const QString form = QCoreApplication::translate("PictUSBFile", "Untitled%1.csv");
    for (int n = 1; n <= MaxUntitled; ++n) {
        const QString path = folder + QLatin1Char('/') + form.arg(n);
        if (!QFileInfo::exists(path))
            return path;
    }
    return QString();
}
