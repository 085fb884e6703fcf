#include "tests/support/PanelTestLook.h"

#include "gui/toolkit/PanelLook.h"

#include <QApplication>
#include <QFontInfo>
#include <QLocale>

QString PanelTestLook::apply()
{
    QLocale::setDefault(QLocale::c());
    PanelLook::apply();
    const QFont font(QStringLiteral("DejaVu Sans"), 8);
    QApplication::setFont(font);
    const QString family = QFontInfo(font).family();
    if (family != QLatin1String("DejaVu Sans"))
        return QStringLiteral("DejaVu Sans is not installed (got %1); run scripts/deps")
            .arg(family);
    return QString();
}
