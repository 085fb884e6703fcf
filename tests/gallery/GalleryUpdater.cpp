// The update tool's window in its main states, with its own look (Fusion, standard palette), on
// a private board root without a contents folder, so that the built-in pages show.

#include "platform/BoardPath.h"
#include "tests/gallery/Gallery.h"
#include "tools/updater/zoUpdater.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QPainter>
#include <QStyle>
#include <QTemporaryDir>
#include <QTest>

namespace {
constexpr int Never = 24 * 3600 * 1000; // the page delays never run out while shooting

bool writeFile(const QString &path, const QByteArray &data)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(data) == data.size();
}

QByteArray versionInfo(const char *model, const char *version)
{
    return QStringLiteral("<versionInfo><modelType>%1</modelType><version>%2</version>"
                          "</versionInfo>\n")
        .arg(QLatin1String(model), QLatin1String(version))
        .toUtf8();
}

// A stand-in for the board's logo, which the board's image brings.
void writeLogo(const QString &path)
{
    QImage logo(140, 36, QImage::Format_RGB32);
    logo.fill(QColor(0, 60, 120));
    QPainter p(&logo);
    p.setPen(Qt::white);
    p.setFont(QFont(QStringLiteral("DejaVu Sans"), 16, QFont::Bold));
    p.drawText(logo.rect(), Qt::AlignCenter, QStringLiteral("ZORVANE"));
    p.end();
    QDir().mkpath(QFileInfo(path).path());
    logo.save(path, "PNG");
}
} // namespace

void galleryUpdater(Gallery &gallery)
{
    QTemporaryDir root;
    const QString oldRoot = platform::BoardPath::root();
    platform::BoardPath::setRoot(root.path());
    writeFile(root.filePath("etc/version.info"), versionInfo("VEK-4101", "1.9.0"));
    // The unpacked image's version file, as the checks read it.
    const auto image = [&](const char *model, const char *version) {
        writeFile(root.filePath("media/usb/update/fileSystem/etc/version.info"),
            versionInfo(model, version));
    };
    writeLogo(root.filePath("usr/bin/image/Logo.png"));
    const QPalette panelPalette = QApplication::palette();
    QApplication::setPalette(QApplication::style()->standardPalette());

    const UpdateDelays never { Never, Never, Never };
    const QSize panel(320, 240);
    const struct
    {
        const char *name;
        std::function<void(zoUpdater *)> show;
    } states[] = {
        { "updater-idle", [](zoUpdater *) {} },
        { "updater-start",
            [](zoUpdater *w) {
                w->onUiStart();
            } },
        { "updater-update-50",
            [&](zoUpdater *w) {
                image("VEK-4101", "1.10.0");
                w->controller()->checkVersion();
                w->onUiStartUpdateShell();
                w->onUiProgressbarChange(50);
            } },
        { "updater-success",
            [](zoUpdater *w) {
                w->onUiSuccess();
            } },
        { "updater-final",
            [](zoUpdater *w) {
                w->onUiFinal();
            } },
        { "updater-error-7",
            [&](zoUpdater *w) {
                image("VEK-4101", "1.8.2");
                w->controller()->checkVersion();
                w->onUiError(Controller::VersionTooOld);
            } },
        { "updater-error-6",
            [&](zoUpdater *w) {
                image("VEK-4102", "1.10.0");
                w->controller()->checkModel();
                w->onUiError(Controller::ModelMismatch);
            } },
    };
    for (const auto &state : states) {
        auto *window = new zoUpdater(false, nullptr, never);
        gallery.shootWindow(QLatin1String(state.name), window, panel, [&] {
            // The controller reads the running model on its way to idle.
            (void)QTest::qWaitFor(
                [&] {
                    return window->controller()->idleState()->active();
                },
                5000);
            state.show(window);
        });
    }

    QApplication::setPalette(panelPalette);
    platform::BoardPath::setRoot(oldRoot);
}
