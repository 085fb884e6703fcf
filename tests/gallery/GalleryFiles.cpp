// The measurement-data file page over a media tree of a stick with two CSV files and a folder
// and the setup store: at start, on a file of the stick, with a new name's editor open, and
// while an acquisition blocks "Save As".

#include "engine/DataLogger.h"
#include "gui/system/FileSystemEditModel.h"
#include "gui/system/PictFile.h"
#include "gui/system/PictUSBFile.h"
#include "gui/system/SystemKeyPages.h"
#include "gui/toolkit/FuncButton.h"
#include "platform/BoardPath.h"
#include "tests/gallery/Gallery.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeView>

namespace {

const QSize pageSize(320, 240);

bool touch(const QString &path, const QByteArray &text = QByteArray())
{
    QFile f(path);
    return QDir().mkpath(QFileInfo(path).path()) && f.open(QIODevice::WriteOnly)
        && f.write(text) == text.size();
}

// Makes the entry current once the model knows it; the tree opens down to it.
template <class Page> void select(Page *page, const QString &boardPath)
{
    auto *list = page->template findChild<QTreeView *>(QStringLiteral("file"));
    const QModelIndex index = page->fileModel()->index(platform::BoardPath::map(boardPath));
    list->expand(index.parent());
    list->setCurrentIndex(index);
    QTest::qWait(300); // the model's gatherer fills the folders in its own thread
}

} // namespace

void galleryFiles(Gallery &gallery)
{
    QTemporaryDir root;
    const QString previous = platform::BoardPath::root();
    platform::BoardPath::setRoot(root.path());
    const QString media = root.path() + QStringLiteral("/run/media");
    QDir().mkpath(root.path() + QStringLiteral("/etc/instr/panels"));
    QDir().mkpath(media);
    QFile::link(
        root.path() + QStringLiteral("/etc/instr/panels"), media + QStringLiteral("/setups"));
    for (const char *name : { "/sda1/discharge run 3.csv",
             "/sda1/Untitled1.csv",
             "/sda1/logs/cell-A.csv",
             "/sda1/notes.txt",
             "/sdb1/trace.csv" })
        touch(media + QLatin1String(name));
    DataLogger logger;

    auto shot = [&](const char *name, const std::function<void(PictUSBFile *)> &shown) {
        auto *page = new PictUSBFile(nullptr, &logger, nullptr);
        gallery.shoot(QLatin1String(name), page, pageSize, [page, shown] {
            shown(page);
        });
    };
    shot("files-csv-start", [](PictUSBFile *) {
        QTest::qWait(300);
    });
    shot("files-csv-on-a-file", [](PictUSBFile *page) {
        select(page, QStringLiteral("/run/media/sda1/Untitled1.csv"));
    });
    shot("files-csv-name-editor", [](PictUSBFile *page) {
        select(page, QStringLiteral("/run/media/sda1/Untitled1.csv"));
        auto *list = page->template findChild<QTreeView *>(QStringLiteral("file"));
        list->edit(list->currentIndex());
    });
    shot("files-csv-acquiring", [](PictUSBFile *page) {
        select(page, QStringLiteral("/run/media/sda1/logs"));
        page->funcFile()->SetSaveBtn(true);
    });

    // The setup page without an engine: every optional row of the contents shows.
    touch(root.path() + QStringLiteral("/etc/instr/panels/01.info"),
        R"({"func": 0, "curr:rang": 2, "curr": 1.5, "curr:sst": 0.0005, "outp": true,
            "pow:prot": 120, "pow:prot:stat": true, "volt:prot:low": 0.5, "func:cvop": true})");
    touch(root.path() + QStringLiteral("/etc/instr/panels/05.info"), "{");
    touch(media + QStringLiteral("/sda1/bench.info"), R"({"curr": 0.25})");
    auto setupShot = [&](const char *name, const std::function<void(PictFile *)> &shown) {
        auto *page = new PictFile(nullptr, nullptr);
        gallery.shoot(QLatin1String(name), page, pageSize, [page, shown] {
            shown(page);
        });
    };
    setupShot("files-info-start", [](PictFile *page) {
        select(page, QStringLiteral("/run/media/setups/01.info"));
    });
    setupShot("files-info-unsaved", [](PictFile *page) {
        select(page, QStringLiteral("/run/media/setups/05.info"));
    });
    setupShot("files-info-stick", [](PictFile *page) {
        select(page, QStringLiteral("/run/media/sda1/bench.info"));
    });
    setupShot("files-info-property", [](PictFile *page) {
        select(page, QStringLiteral("/run/media/setups/01.info"));
        page->funcFile()->m_propertyButton->click();
        QTest::qWait(1300); // the contents view grows over 1 s
    });
    platform::BoardPath::setRoot(previous);
}
