#include "gui/system/PictUSBFile.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QLayout>

namespace {
constexpr int MaxUntitled = 999;
}

PictUSBFile::PictUSBFile(QWidget *parent)
    : QWidget(parent)
    , StandIn(this, "PictUSBFile")
{
    auto *file = new QWidget(this);
    file->setObjectName(QStringLiteral("file"));
    layout()->addWidget(file);
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
