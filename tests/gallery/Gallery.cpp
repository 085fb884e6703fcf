#include "tests/gallery/Gallery.h"

#include <QApplication>
#include <QDialog>
#include <QGridLayout>
#include <QTest>
#include <QWidget>

#include <cstdio>
#include <memory>

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

    save(name, &screen);
}

void Gallery::shootWindow(
    const QString &name, QWidget *window, const QSize &size, const std::function<void()> &shown)
{
    std::unique_ptr<QWidget> owner(window);
    window->setFixedSize(size);
    window->show();
    QApplication::setActiveWindow(window);
    if (!QTest::qWaitForWindowActive(window))
        std::fprintf(stderr, "gallery: %s: window not active\n", qPrintable(name));
    if (shown)
        shown();
    QApplication::processEvents();
    save(name, window);
}

void Gallery::save(const QString &name, QWidget *widget)
{
    const QString path = m_dir.filePath(name + QStringLiteral(".png"));
    if (widget->grab().save(path, "PNG")) {
        ++m_written;
    } else {
        std::fprintf(stderr, "gallery: cannot write %s\n", qPrintable(path));
        ++m_failures;
    }
}
