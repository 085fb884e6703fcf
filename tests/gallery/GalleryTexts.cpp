// Character entry: the line edit stepped by Up and Down, as the program and file delegates and
// the interface page use it.

#include "gui/toolkit/zoUpDownLineEdit.h"
#include "tests/gallery/Gallery.h"

#include <QTest>

namespace {

const QSize editSize(160, 26);

zoUpDownLineEdit *nameEdit(const QString &text)
{
    auto *edit = new zoUpDownLineEdit;
    edit->setFont(QFont(QStringLiteral("DejaVu Sans"), 8));
    edit->setRegPattern(QStringLiteral("[-+A-Za-z0-9.,(){}\\[\\]_&$#^%@=\\s]+"));
    edit->setText(text);
    return edit;
}

} // namespace

void galleryTexts(Gallery &gallery)
{
    auto *idle = nameEdit(QStringLiteral("ramp_10A"));
    gallery.shoot(QStringLiteral("text-idle"), idle, editSize, [idle] {
        idle->clearFocus();
    });

    auto *appended = nameEdit(QStringLiteral("ramp_10A"));
    gallery.shoot(QStringLiteral("text-appended-character"), appended, editSize, [appended] {
        appended->setFocus(Qt::OtherFocusReason);
        appended->end(false);
        QTest::keyClick(appended, Qt::Key_Up);
        QTest::keyClick(appended, Qt::Key_Up);
    });

    auto *stepped = nameEdit(QStringLiteral("ramp_10A"));
    gallery.shoot(QStringLiteral("text-stepped-character"), stepped, editSize, [stepped] {
        stepped->setFocus(Qt::OtherFocusReason);
        stepped->setSelection(0, 1);
        QTest::keyClick(stepped, Qt::Key_Down);
    });
}
