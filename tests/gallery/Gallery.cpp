#include "tests/gallery/Gallery.h"

#include <QApplication>
#include <QDialog>
#include <QGridLayout>
#include <QTest>
#include <QWidget>

#include <cstdio>

Gallery::Gallery(const QString &dir)
    : m_dir(dir)
{ }

void Gallery::shoot(
    const QString &name, QWidget *content, const QSize &size, const std::function<void()> &shown)
{
    QWidget screen;
    // The main window's own style sheet, which every screen inherits.
    screen.setStyleSheet(QStringLiteral("background-color: rgb(0, 0, 0);"));
    screen.setFixedSize(size);
    auto *layout = new QGridLayout(&screen);
    layout->setContentsMargins(4, 4, 4, 4);
    if (qobject_cast<QDialog *>(content)) {
        content->setWindowFlags(Qt::Widget); // drawn in place over the screen, at its own size
        layout->addWidget(content, 0, 0, Qt::AlignCenter);
    } else {
        layout->addWidget(content, 0, 0);
    }

    screen.show();
    QApplication::setActiveWindow(&screen);
    if (!QTest::qWaitForWindowActive(&screen))
        std::fprintf(stderr,
            "gallery: %s: window not active, focus states may be missing\n",
            qPrintable(name));
    if (shown)
        shown();
    QApplication::processEvents();

    const QString path = m_dir.filePath(name + QStringLiteral(".png"));
    if (screen.grab().save(path, "PNG")) {
        ++m_written;
    } else {
        std::fprintf(stderr, "gallery: cannot write %s\n", qPrintable(path));
        ++m_failures;
    }
}
