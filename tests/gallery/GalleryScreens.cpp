// The key pages of the program, system and file screens (the administration and file pages in
// each mode), and the SCPI error list with three entries, one of them wrapped.

#include "gui/program/ProgramKeyPages.h"
#include "gui/shell/PictSystError.h"
#include "gui/system/SystemKeyPages.h"
#include "gui/toolkit/FuncButton.h"
#include "remote/ZOSystErrCue.h"
#include "tests/gallery/Gallery.h"

#include <QTableView>

namespace {

const QSize keysSize(62, 231);

void adminPages(Gallery &gallery)
{
    const struct
    {
        const char *name;
        FuncSystemAdmin::funcMode mode;
        FuncButton *FuncSystemAdmin::*checked;
    } modes[] = {
        { "keypage-admin-datetime",
            FuncSystemAdmin::ModeDateTime,
            &FuncSystemAdmin::m_dateTimeButton },
        { "keypage-admin-ntp", FuncSystemAdmin::ModeNtpAdjust, &FuncSystemAdmin::m_dateTimeButton },
        { "keypage-admin-sanitize",
            FuncSystemAdmin::ModeSanitize,
            &FuncSystemAdmin::m_sanitizeButton },
        { "keypage-admin-update", FuncSystemAdmin::ModeUpdate, &FuncSystemAdmin::m_updateButton },
    };
    for (const auto &m : modes) {
        auto *page = new FuncSystemAdmin;
        page->setFuncMode(m.mode);
        (page->*m.checked)->setChecked(true);
        gallery.shoot(QLatin1String(m.name), page, keysSize);
    }
}

void filePages(Gallery &gallery)
{
    const struct
    {
        const char *name;
        FuncWidget::Color colour;
        bool usb;
        bool initiated;
        bool locked;
        void (*mode)(FuncFile *);
    } modes[] = {
        { "keypage-file-empty",
            FuncWidget::Yellow,
            false,
            false,
            false,
            [](FuncFile *f) {
                f->setPathEmptyMode();
            } },
        { "keypage-file-setup",
            FuncWidget::Yellow,
            false,
            false,
            false,
            [](FuncFile *f) {
                f->setRecallSaveFileMode();
            } },
        { "keypage-file-setup-locked",
            FuncWidget::Yellow,
            false,
            false,
            true,
            [](FuncFile *f) {
                f->setRecallSaveFileMode();
            } },
        { "keypage-usbfile-save",
            FuncWidget::Red,
            true,
            false,
            false,
            [](FuncFile *f) {
                f->setSaveFileMode(false);
            } },
        { "keypage-usbfile-acquiring",
            FuncWidget::Red,
            true,
            true,
            false,
            [](FuncFile *f) {
                f->setSaveFileMode(true);
            } },
        { "keypage-usbfile-other",
            FuncWidget::Red,
            true,
            false,
            false,
            [](FuncFile *f) {
                f->setOtherFileMode();
            } },
    };
    for (const auto &m : modes) {
        auto *page = new FuncFile(nullptr, m.colour);
        page->setKeyLock(m.locked);
        page->SetSaveBtn(m.initiated);
        page->setUsbMemoryMode(m.usb);
        m.mode(page);
        gallery.shoot(QLatin1String(m.name), page, keysSize);
    }
}

} // namespace

void galleryScreens(Gallery &gallery)
{
    auto *prog = new FuncProg;
    prog->m_selectButton->setChecked(true);
    gallery.shoot(QStringLiteral("keypage-prog"), prog, keysSize);
    gallery.shoot(QStringLiteral("keypage-prog-export"), new FuncProgExport, keysSize);
    gallery.shoot(QStringLiteral("keypage-system-config"), new FuncSystemConfig, keysSize);
    gallery.shoot(QStringLiteral("keypage-system-interface"), new FuncSystemInterface, keysSize);
    gallery.shoot(QStringLiteral("keypage-system-error"), new FuncSystemError, keysSize);
    adminPages(gallery);
    filePages(gallery);

    zo4882::s_systErrCue.clear();
    const zo4882::INTF_TYPE_ENUM socket = zo4882::INTF_SOCKET;
    zo4882::s_systErrCue.cue(zo4882::SYST_ERR_INFO(-113, socket, QStringLiteral("VOLT:PROT:LEV")));
    zo4882::s_systErrCue.cue(zo4882::SYST_ERR_INFO(-222, socket, QStringLiteral("CURR 9999")));
    zo4882::s_systErrCue.cue(
        zo4882::SYST_ERR_INFO(-224, socket, QStringLiteral("FUNC RESISTANCE_AND_POWER_TOGETHER")));
    auto *list = new PictSystError;
    list->onScpiErrorQueue();
    gallery.shoot(QStringLiteral("errorlist-three"), list, QSize(320, 240));
    zo4882::s_systErrCue.clear();
    gallery.shoot(QStringLiteral("errorlist-empty"), new PictSystError, QSize(320, 240));
}
