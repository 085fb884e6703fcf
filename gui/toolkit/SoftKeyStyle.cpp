#include "gui/toolkit/SoftKeyStyle.h"

#include "resources/PanelResources.h"

namespace {

const QString styleSheetTemplate = QStringLiteral(
    "QPushButton { \tcolor: rgb(255, 255, 255);"
    "\tborder-image: url(:/resources/image/%1Function%2%3.png);\tborder-radius: 2px;}"
    "QPushButton:pressed {\tcolor: rgb(230, 230, 230);"
    "\tborder-image: url(:/resources/image/%1FunctionPress.png);}"
    "QPushButton:checked {\tcolor: rgb(0, 0, 0);"
    "\tborder-image: url(:/resources/image/%1Function%2%3Check.png);}"
    "QPushButton:checked:pressed {\tcolor: rgb(127, 127, 127);"
    "\tborder-image: url(:/resources/image/%1FunctionPress.png);}"
    "QPushButton:disabled {\tborder-image: url(:/resources/image/FunctionDisable.png);"
    "\tcolor: rgb(0, 0, 0);}");

} // namespace

QString SoftKeyStyle::colourName(int colour)
{
    static const char *const names[] = {
        "", "Blue", "Red", "Green", "Yellow", "Orange", "Pink", "Purple"
    };
    if (colour < 0 || colour >= int(sizeof names / sizeof *names))
        return QString();
    return QLatin1String(names[colour]);
}

QString SoftKeyStyle::matrixName(int matrix, int known)
{
    static const char *const names[] = { "", "Row", "Half" };
    if (matrix < 0 || matrix >= known || matrix >= int(sizeof names / sizeof *names))
        return QString();
    return QLatin1String(names[matrix]);
}

QString SoftKeyStyle::styleSheet(int colour, const QString &matrix, int colour2)
{
    PanelResources::init();
    return styleSheetTemplate.arg(matrix, colourName(colour), colourName(colour2));
}
