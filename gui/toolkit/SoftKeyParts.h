#pragma once

#include <QString>

class FuncButton;
class GroupFunc;
class QFont;
class QWidget;

// Building blocks of the soft-key pages. GUI thread only.
namespace softkeys {

// A key with its text and, after the text (which would replace it), its panel key (0: none).
FuncButton *key(QWidget *parent, const QString &text, int panelKey = 0, bool checkable = true);
// A key without text, disabled; pages keep it in no member.
FuncButton *blank(QWidget *parent);
// "DejaVu Sans" at the given size, for keys whose text would not fit at 8 points.
QFont keyFont(int pointSize);
// A radio group with a vertical layout of the given spacing and no margins.
GroupFunc *group(QWidget *parent, int spacing);
// Appends a key (or a nested group) to the group's layout.
void addTo(GroupFunc *keys, QWidget *widget);

} // namespace softkeys
