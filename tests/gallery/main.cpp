// vek-gallery DIR [FAMILY...]: renders every toolkit widget family and the update tool's window
// (or the named ones) into DIR/<family>-<state>.png. Exits non-zero when a picture cannot be written.

#include "tests/gallery/Gallery.h"
#include "tests/support/PanelTestLook.h"

#include <QApplication>

#include <algorithm>
#include <cstdio>

namespace {

const struct
{
    const char *name;
    void (*shoot)(Gallery &);
} families[] = {
    { "entries", galleryEntries },
    { "softkeys", gallerySoftKeys },
    { "dialogs", galleryDialogs },
    { "texts", galleryTexts },
    { "readouts", galleryReadouts },
    { "trees", galleryTrees },
    { "settingsviews", gallerySettingsViews },
    { "charts", galleryCharts },
    { "measurement", galleryMeasurement },
    { "screens", galleryScreens },
    { "files", galleryFiles },
    { "home", galleryHome },
    { "sourcekeys", gallerySourceKeys },
    { "updater", galleryUpdater },
};

} // namespace

int main(int argc, char **argv)
{
    // Pictures need no display: render off-screen unless told otherwise.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    if (args.isEmpty()) {
        std::fprintf(stderr, "usage: vek-gallery DIR [FAMILY...]\n");
        return 2;
    }
    const QString problem = PanelTestLook::apply();
    if (!problem.isEmpty()) {
        std::fprintf(stderr, "vek-gallery: %s\n", qPrintable(problem));
        return 1;
    }
    if (!QDir().mkpath(args.first())) {
        std::fprintf(stderr, "vek-gallery: cannot create %s\n", qPrintable(args.first()));
        return 1;
    }

    Gallery gallery(args.first());
    const QStringList wanted = args.mid(1);
    for (const QString &name : wanted) {
        const bool known = std::any_of(std::begin(families), std::end(families), [&](auto &f) {
            return name == QLatin1String(f.name);
        });
        if (!known) {
            std::fprintf(stderr, "vek-gallery: no widget family %s\n", qPrintable(name));
            return 2;
        }
    }
    for (const auto &family : families) {
        if (wanted.isEmpty() || wanted.contains(QLatin1String(family.name)))
            family.shoot(gallery);
    }
    std::printf("vek-gallery: %d pictures in %s\n", gallery.written(), qPrintable(args.first()));
    return gallery.failures() == 0 && gallery.written() > 0 ? 0 : 1;
}
