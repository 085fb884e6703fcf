// Dialogs over a panel-sized screen: the self-closing error box, a question, the identify box.

#include "gui/toolkit/zoDialogMessage.h"
#include "gui/toolkit/zoMessageBox.h"
#include "tests/gallery/Gallery.h"

void galleryDialogs(Gallery &gallery)
{
    const QSize screen(320, 240);

    gallery.shoot(
        QStringLiteral("dialog-error-222"), new zoMessageBox(-222, nullptr, false), screen);

    auto *question = new zoMessageBox(nullptr, true);
    question->setText(QObject::tr("Delete the program \"cc/ramp\"?"));
    gallery.shoot(QStringLiteral("dialog-question"), question, screen);

    auto *cancelFirst = new zoMessageBox(nullptr, true);
    cancelFirst->setText(QObject::tr("Overwrite the setup in memory 3?"));
    cancelFirst->setCancelDefault(true);
    gallery.shoot(QStringLiteral("dialog-question-cancel-default"), cancelFirst, screen);

    // The main window places it at 40, 100 with 240 x 60.
    auto *identify = new zoDialogMessage;
    identify->setFixedSize(240, 60);
    gallery.shoot(QStringLiteral("dialog-identify"), identify, screen);
}
