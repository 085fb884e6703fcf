#include "gui/toolkit/SoftKeyParts.h"

#include "gui/toolkit/FuncButton.h"
#include "gui/toolkit/GroupFunc.h"

#include <QFont>
#include <QVBoxLayout>

namespace softkeys {

FuncButton *key(QWidget *parent, const QString &text, int panelKey, bool checkable)
{
    auto *button = new FuncButton(parent);
    button->setText(text);
    if (panelKey)
        button->setShortcut(QKeySequence(panelKey));
    button->setCheckable(checkable);
    return button;
}

FuncButton *blank(QWidget *parent)
{
    FuncButton *button = key(parent, QString());
    button->setEnabled(false);
    return button;
}

QFont keyFont(int pointSize)
{
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPointSize(pointSize);
    return font;
}

GroupFunc *group(QWidget *parent, int spacing)
{
    auto *keys = new GroupFunc(parent);
    auto *layout = new QVBoxLayout(keys);
    layout->setSpacing(spacing);
    layout->setContentsMargins(0, 0, 0, 0);
    return keys;
}

void addTo(GroupFunc *keys, QWidget *widget)
{
    keys->layout()->addWidget(widget);
}

} // namespace softkeys
