// The home screen in the 320 x 240 main window: the soft-key bar closed, open on Source (meter
// and settings view) and on Measure (chart), and every indicator of the message row shown. The
// ratings are the board template's single unit.

#include "engine/DataLogger.h"
#include "gui/shell/PictMeasure.h"
#include "gui/shell/SlaveScreen.h"
#include "gui/shell/Ui_Vek3r.h"
#include "gui/shell/Vek3r.h"
#include "gui/toolkit/FuncButton.h"
#include "gui/toolkit/GroupFunc.h"
#include "gui/toolkit/Meter.h"
#include "remote/ZOSystErrCue.h"
#include "tests/gallery/Gallery.h"
#include "tests/instrument/SingleUnitModel.h"

#include <QCoreApplication>
#include <QLabel>
#include <QStackedWidget>

#include <cstdio>

namespace {

const QSize panel(320, 240);

struct Home
{
    std::unique_ptr<DataLogger> logger = std::make_unique<DataLogger>();
    PanelEngine engine;
};

Vek3r *window(Home &home, const ModelInformation *model)
{
    home.engine.model = model;
    home.engine.logger = home.logger.get();
    auto *w = new Vek3r(home.engine);
    PictMeasure *screen = w->pictMeasure();
    screen->onCurrRangeChange(KeywordBridge_LowMedHigh::HIGH, KeywordBridge_LowMedHigh::HIGH);
    screen->onVoltRangeChange(KeywordBridge_LowHigh::HIGH);
    return w;
}

// The bar closed (hidden, large digits) or open on one menu.
void showMenu(Vek3r *w, bool open, PictMeasure::MenuMode menu)
{
    const Ui_Vek3r *form = w->form();
    form->FuncMode->setVisible(open);
    form->FuncMode->setCurrentIndex(menu);
    w->pictMeasure()->viewSubFuncKey(open, menu, menu);
    // As the menu key does: the group's checked key shows its page.
    auto *group = static_cast<GroupFunc *>(form->FuncMode->currentWidget());
    if (QPushButton *checked = group->checkPushButton())
        Q_EMIT checked->clicked(true);
    w->pictMeasure()->meter()->viewMeasLargeFont(!open);
}

void showEveryIndicator(Vek3r *w)
{
    PictMeasure *screen = w->pictMeasure();
    screen->onViewMeasureChange(true);
    screen->onViewSensingChange(true);
    screen->onOutputExternalUiChange(false, false);
    screen->onCutoffETimeOccurred(1);
    screen->onCutoffVoltageOccurred(1);
    screen->onCutoffCapacityOccurred(1);
    screen->onCutoffEnergyOccurred(1);
    screen->onViewKeyLockChange(true, 1);
    screen->onStateActive();
    // The armed cut-off and the waveform icons follow engine states this picture has not got.
    for (const char *name : { "cutoffEnable", "infoSine", "infoPulse" })
        screen->findChild<QLabel *>(QLatin1String(name))->show();
    for (int i = 0; i < 3; ++i)
        zo4882::s_systErrCue.cue(zo4882::SYST_ERR_INFO(-113, zo4882::INTF_SOCKET, QString()));
    screen->onViewScpiErrorChange();
    zo4882::s_systErrCue.clear();
}

// The screen in one function mode, as the engine's report sets it.
void showMode(Vek3r *w, vek::SourceMode mode, bool cvOption)
{
    vek::Source::m_functionMode = mode;
    w->pictMeasure()->onOperationModeChange(mode, cvOption);
    // The machines move when events run.
    for (int i = 0; i < 5; ++i)
        QCoreApplication::processEvents();
}

} // namespace

void galleryHome(Gallery &gallery)
{
    BoardRootFixture root;
    const std::unique_ptr<ModelInformation> model = SingleUnitModel::load(root);
    if (!model) {
        std::fprintf(stderr, "vek-gallery: home: the template's model file cannot be read\n");
        return;
    }

    Home closed;
    Vek3r *w = window(closed, model.get());
    gallery.shoot(QStringLiteral("home-bar-closed"), w, panel, [w] {
        showMenu(w, false, PictMeasure::Source);
    });

    Home source;
    w = window(source, model.get());
    gallery.shoot(QStringLiteral("home-source"), w, panel, [w] {
        showMenu(w, true, PictMeasure::Source);
    });

    Home measure;
    w = window(measure, model.get());
    gallery.shoot(QStringLiteral("home-measure"), w, panel, [w] {
        showMenu(w, true, PictMeasure::Measure);
    });

    Home indicators;
    w = window(indicators, model.get());
    gallery.shoot(QStringLiteral("home-indicators"), w, panel, [w] {
        showMenu(w, true, PictMeasure::Source);
        showEveryIndicator(w);
    });

    const struct
    {
        const char *name;
        vek::SourceMode mode;
        bool cvOption;
    } modes[] = {
        { "cc", KeywordBridge_CcCrCvCpArb::CC, false },
        { "cc-cv", KeywordBridge_CcCrCvCpArb::CC, true },
        { "cr", KeywordBridge_CcCrCvCpArb::CR, false },
        { "cr-cv", KeywordBridge_CcCrCvCpArb::CR, true },
        { "cv", KeywordBridge_CcCrCvCpArb::CV, false },
        { "cp", KeywordBridge_CcCrCvCpArb::CP, false },
        { "arb", KeywordBridge_CcCrCvCpArb::ARB, false },
    };
    for (const auto &mode : modes) {
        Home home;
        w = window(home, model.get());
        gallery.shoot(QStringLiteral("home-mode-") + QLatin1String(mode.name), w, panel, [w, mode] {
            showMenu(w, true, PictMeasure::Source);
            showMode(w, mode.mode, mode.cvOption);
        });
    }
    vek::Source::m_functionMode = KeywordBridge_CcCrCvCpArb::CC;

    Home alarm;
    w = window(alarm, model.get());
    gallery.shoot(QStringLiteral("home-alarm"), w, panel, [w] {
        showMenu(w, true, PictMeasure::Source);
        showEveryIndicator(w);
        w->pictMeasure()->viewAlarmMode(
            vek::Status::StatusProtections(vek::Status::AlarmOverVoltage)
            | vek::Status::ProtectUnderVoltage);
    });

    gallery.shoot(QStringLiteral("slave-screen"), new SlaveScreen(nullptr), panel);
    auto *slave = new SlaveScreen(nullptr);
    gallery.shoot(QStringLiteral("slave-screen-alarm"), slave, panel, [slave] {
        slave->onStateProtecte(vek::Status::StatusProtections(vek::Status::ProtectWatchdog));
    });

    // The System menu as its menu key opens it: the configuration page on the stack.
    Home system;
    w = window(system, model.get());
    gallery.shoot(QStringLiteral("home-system"), w, panel, [w] {
        w->clickMenuKey(w->form()->FuncModeSystem, false);
    });
}
