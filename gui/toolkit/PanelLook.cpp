#include "gui/toolkit/PanelLook.h"

#include <QApplication>
#include <QPalette>
#include <QStyleFactory>

void PanelLook::apply()
{
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));

    static const struct
    {
        QPalette::ColorRole role;
        QRgb colour;
    } roles[] = {
        { QPalette::WindowText, qRgb(255, 255, 255) },
        { QPalette::Window, qRgb(102, 102, 102) },
        { QPalette::Text, qRgb(255, 255, 255) },
        { QPalette::ButtonText, qRgb(255, 255, 255) },
        { QPalette::Button, qRgb(179, 179, 179) },
        { QPalette::HighlightedText, qRgb(0, 0, 0) },
        { QPalette::Highlight, qRgb(0, 147, 255) },
        { QPalette::AlternateBase, qRgb(60, 60, 60) },
    };
    QPalette palette = QApplication::palette();
    for (const auto &entry : roles)
        palette.setColor(entry.role, QColor(entry.colour)); // all colour groups
    QApplication::setPalette(palette);
}
