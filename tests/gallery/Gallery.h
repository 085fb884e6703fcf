#pragma once

#include <QDir>
#include <QSize>
#include <QString>

#include <functional>

class QWidget;

// Renders widgets as the panel shows them (black screen, panel palette, DejaVu Sans) into PNG
// files, so that their looks can be reviewed without the board. Each widget family has one
// function below that shoots its widgets in their main states; add a family by writing its
// function and naming it in main.cpp's table.
class Gallery
{
public:
    explicit Gallery(const QString &dir);

    // Places content (taken over) on a black backdrop of the given size, which it fills as far
    // as its size limits let it; shows it as the active window, runs `shown` (focus,
    // selection, key presses), then writes <name>.png. A dialog is drawn in place at its own
    // size, centred, as over the panel's screen.
    void shoot(const QString &name,
        QWidget *content,
        const QSize &size,
        const std::function<void()> &shown = {});

    // Shows window (taken over) as a top-level window of the given size with its own look, runs
    // `shown`, then writes <name>.png; for programs other than the panel's.
    void shootWindow(const QString &name,
        QWidget *window,
        const QSize &size,
        const std::function<void()> &shown = {});

    // A check on a shot picture failed: counts as a picture that could not be written.
    void fail() { ++m_failures; }

    int written() const { return m_written; }
    int failures() const { return m_failures; }

private:
    void save(const QString &name, QWidget *widget);

    QDir m_dir;
    int m_written = 0;
    int m_failures = 0;
};

// The families, one function each.
void galleryEntries(Gallery &gallery);
void gallerySoftKeys(Gallery &gallery);
void galleryDialogs(Gallery &gallery);
void galleryTexts(Gallery &gallery);
void galleryReadouts(Gallery &gallery);
void galleryTrees(Gallery &gallery);
void gallerySettingsViews(Gallery &gallery);
void galleryCharts(Gallery &gallery);
void galleryMeasurement(Gallery &gallery);
void galleryHome(Gallery &gallery);
void galleryUpdater(Gallery &gallery);
void galleryScreens(Gallery &gallery);
void gallerySourceKeys(Gallery &gallery);
void galleryFiles(Gallery &gallery);
