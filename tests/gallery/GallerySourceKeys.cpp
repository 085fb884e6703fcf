// The source key pages: the mode page in each load and waveform state, the range page in CC and
// CR for the template's model and a model with Low and High ranges only, and the level page's
// basic keys in each mode and its arbitrary-table keys, and the preset page in recall, store and
// key-lock mode. The basic keys' second-colour stripes are probed: each must show the colour of
// the entry it selects.

#include "gui/source/FuncSourLevel.h"
#include "gui/source/FuncSourLevelArbitrary.h"
#include "gui/source/FuncSourLevelBasic.h"
#include "gui/source/FuncSourMemory.h"
#include "gui/source/FuncSourMode.h"
#include "gui/source/FuncSourRange.h"
#include "gui/source/ViewSet.h"
#include "gui/source/ViewSetForm.h"
#include "engine/Source.h"
#include "gui/toolkit/FuncButton.h"
#include "gui/toolkit/zoDoubleSpinBox.h"
#include "tests/gallery/Gallery.h"
#include "tests/instrument/SingleUnitModel.h"

#include <QImage>
#include <QRegularExpression>

#include <cstdio>

namespace {

const QSize column(70, 240);

// The template's model without its Medium current and conductance ranges.
QByteArray lowHighRatings()
{
    QString text = QString::fromUtf8(SingleUnitModel::ratings());
    text.remove(QRegularExpression(QStringLiteral("<med-(curr|cond)-range>.*?</med-\\1-range>")));
    return text.toUtf8();
}

void modePages(Gallery &gallery)
{
    using Mode = FuncSourMode;
    const struct
    {
        const char *name;
        void (Mode::*mode)();
        void (Mode::*load)();
    } states[] = {
        { "mode-cc-load-off", &Mode::onCcModeUiChange, &Mode::onLoadOffUiChange },
        { "mode-cv-load-on", &Mode::onCvModeUiChange, &Mode::onLoadOnUiChange },
        { "mode-cr-pulse-or-short", &Mode::onCrModeUiChange, &Mode::onLoadOffPulseShortUiChange },
        { "mode-cc-sine", &Mode::onCcModeUiChange, &Mode::onLoadOffSineUiChange },
    };
    for (const auto &state : states) {
        auto *page = new FuncSourMode(nullptr);
        (page->*state.mode)();
        (page->*state.load)();
        gallery.shoot(QLatin1String(state.name), page, column);
    }
}

void rangePages(Gallery &gallery, const char *model, const ModelInformation *info)
{
    for (auto mode : { KeywordBridge_CcCrCvCpArb::CC, KeywordBridge_CcCrCvCpArb::CR }) {
        auto *page = new FuncSourRange(nullptr, info);
        page->viewFuncMode(mode);
        page->viewCurrRange(KeywordBridge_LowMedHigh::LOW);
        gallery.shoot(QStringLiteral("range-%1-%2")
                          .arg(QLatin1String(model),
                              QLatin1String(mode == KeywordBridge_CcCrCvCpArb::CR ? "cr" : "cc")),
            page,
            column);
    }
}

// The second-colour stripe runs down the key's left edge; greyed keys show none.
bool probeStripes(FuncSourLevelBasic *page)
{
    const struct
    {
        FuncButton *key;
        QColor colour;
    } keys[] = {
        { page->ui->value, QColor(255, 128, 128) },
        { page->ui->slewRate, QColor(42, 42, 255) },
        { page->ui->opp, QColor(0, 255, 0) },
        { page->ui->ocp, QColor(255, 102, 0) },
        { page->ui->uvp, QColor(255, 255, 0) },
        { page->ui->action, QColor(255, 0, 255) },
    };
    bool good = true;
    for (const auto &probe : keys) {
        if (!probe.key->isVisible() || !probe.key->isEnabled())
            continue;
        const QImage image = probe.key->grab().toImage();
        const QColor seen = image.pixelColor(1, image.height() / 2);
        if (seen != probe.colour) {
            std::fprintf(stderr,
                "vek-gallery: level key %s shows stripe %s, not %s\n",
                qPrintable(probe.key->objectName()),
                qPrintable(seen.name()),
                qPrintable(probe.colour.name()));
            good = false;
        }
    }
    return good;
}

void levelPages(Gallery &gallery)
{
    using Basic = FuncSourLevelBasic;
    const struct
    {
        const char *name;
        void (Basic::*mode)();
    } modes[] = {
        { "level-basic-cc", &Basic::onCcModeUiChange },
        { "level-basic-cr", &Basic::onCrModeUiChange },
        { "level-basic-cv", &Basic::onCvModeUiChange },
        { "level-basic-cp", &Basic::onCpModeUiChange },
        { "level-basic-arb", &Basic::onArbModeUiChange },
    };
    for (const auto &mode : modes) {
        auto *level = new FuncSourLevel;
        Basic *page = level->basicPage();
        (page->*mode.mode)();
        page->ui->value->setChecked(true);
        page->viewShortMode(false);
        gallery.shoot(QLatin1String(mode.name), level, column, [page, &gallery] {
            if (!probeStripes(page))
                gallery.fail();
        });
    }
    auto *level = new FuncSourLevel;
    level->basicPage()->onCcModeUiChange();
    level->basicPage()->ui->opp->setChecked(true);
    level->basicPage()->viewProtectAction(KeywordBridge_LimitTrip::LIM);
    gallery.shoot(QStringLiteral("level-basic-cc-opp-limit"), level, column);

    level = new FuncSourLevel;
    level->selectArbitraryPage();
    level->arbitraryPage()->setEditTable(true);
    level->arbitraryPage()->ui->arbCount->setValue(16);
    gallery.shoot(QStringLiteral("level-arbitrary"), level, column);
}

// Without an engine root the presets show no previews.
void presetPages(Gallery &gallery)
{
    gallery.shoot(QStringLiteral("presets-recall"), new FuncSourMemory, column);
    // Showing the page returns it to recall mode.
    auto *store = new FuncSourMemory;
    gallery.shoot(QStringLiteral("presets-store"), store, column, [store] {
        store->m_storeKey->click();
    });
    auto *locked = new FuncSourMemory;
    gallery.shoot(QStringLiteral("presets-key-lock"), locked, column, [locked] {
        locked->setKeyLockMode();
    });
}

// The level view's left borders carry the colour of the key that selects the entry.
bool probeBorders(const Ui_ViewSet *form, const QImage &shot, QWidget *top)
{
    const struct
    {
        zoDoubleSpinBox *entry;
        QColor colour;
    } borders[] = {
        { form->setCurrent, QColor(0xFF, 0x80, 0x80) },
        { form->setSlewRate, QColor(0x2A, 0x2A, 0xFF) },
        { form->setOpp, QColor(0x00, 0xFF, 0x00) },
        { form->setOcp, QColor(0xFF, 0x66, 0x00) },
        { form->setUvp, QColor(Qt::yellow) },
    };
    bool ok = true;
    for (const auto &border : borders) {
        if (!border.entry->isVisible())
            continue;
        const QPoint at = border.entry->mapTo(top, QPoint(0, border.entry->height() / 2));
        const QColor seen = shot.pixelColor(at);
        if (seen != border.colour) {
            std::fprintf(stderr, "vek-gallery: %s left border is %s, not %s\n",
                qPrintable(border.entry->objectName()), qPrintable(seen.name()),
                qPrintable(border.colour.name()));
            ok = false;
        }
    }
    return ok;
}

void levelViews(Gallery &gallery, const ModelInformation *model)
{
    using Mode = KeywordBridge_CcCrCvCpArb;
    const QSize size(320, 88);
    const struct
    {
        const char *name;
        Mode::values mode;
        void (ViewSet::*slot)();
        void (ViewSet::*waveform)();
    } states[] = {
        { "levelview-cc", Mode::CC, &ViewSet::onCcModeUiChange, &ViewSet::onNormalUiChange },
        { "levelview-cr", Mode::CR, &ViewSet::onCrModeUiChange, &ViewSet::onNormalUiChange },
        { "levelview-cv", Mode::CV, &ViewSet::onCvModeUiChange, &ViewSet::onNormalUiChange },
        { "levelview-cp", Mode::CP, &ViewSet::onCpModeUiChange, &ViewSet::onNormalUiChange },
        { "levelview-arb", Mode::ARB, &ViewSet::onArbModeUiChange, &ViewSet::onNormalUiChange },
        { "levelview-cc-short", Mode::CC, &ViewSet::onCcModeUiChange, &ViewSet::onShortUiChange },
        { "levelview-cc-external", Mode::CC, &ViewSet::onCcModeUiChange,
            &ViewSet::onExternalUiChange },
    };
    for (const auto &state : states) {
        vek::Source::m_functionMode = state.mode;
        auto *view = new ViewSet(nullptr, nullptr, model, nullptr);
        (view->*state.slot)();
        (view->*state.waveform)();
        if (qstrcmp(state.name, "levelview-cc") == 0) {
            view->form()->setCurrent->setValue(1.234);
            view->form()->setUvp->setValue(12.5);
        }
        gallery.shoot(QLatin1String(state.name), view, size, [view, &gallery] {
            if (!probeBorders(view->form(), view->window()->grab().toImage(), view->window()))
                gallery.fail();
        });
    }
    vek::Source::m_functionMode = Mode::CV;
    auto *view = new ViewSet(nullptr, nullptr, model, nullptr);
    view->onCvModeUiChange();
    view->onCvExternalUiChange(true);
    gallery.shoot(QStringLiteral("levelview-cv-external"), view, size);
    vek::Source::m_functionMode = Mode::CC;
}

} // namespace

void gallerySourceKeys(Gallery &gallery)
{
    modePages(gallery);

    BoardRootFixture root;
    const std::unique_ptr<ModelInformation> model = SingleUnitModel::load(root);
    BoardRootFixture lowHighRoot;
    const std::unique_ptr<ModelInformation> lowHigh =
        SingleUnitModel::load(lowHighRoot, lowHighRatings());
    if (!model || !lowHigh) {
        std::fprintf(stderr, "vek-gallery: sourcekeys: a model file cannot be read\n");
        gallery.fail();
        return;
    }
    rangePages(gallery, "3ranges", model.get());
    rangePages(gallery, "low-high", lowHigh.get());
    levelPages(gallery);
    presetPages(gallery);
    levelViews(gallery, model.get());
}
