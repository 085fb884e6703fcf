// The measurement screen's settings tree views beside their soft-key pages: integral,
// acquisition (at rest and with the source list open), display items and transient trigger.
// Their rows read stand-in values registered under the instrument's value ids.

#include "gui/shell/MeasureKeyPages.h"
#include "gui/shell/ViewAcquire.h"
#include "gui/shell/ViewData.h"
#include "gui/shell/ViewMore.h"
#include "gui/shell/ViewTrigger.h"
#include "remote/ZOValueManager.h"
#include "remote/ZOValue_bool8_t.h"
#include "remote/ZOValue_int32_t.h"
#include "remote/ZOValue_keyword.h"
#include "remote/ZOValue_real64_t.h"
#include "tests/gallery/Gallery.h"

#include <QHBoxLayout>
#include <QTreeView>

namespace {

const QSize screen(320, 240);

// Values under the views' ids, set as after a typical set-up; the registry is the process's
// current one while they live.
struct StandInValues
{
    StandInValues()
    {
        gate.setValue(1);
        autoReset.setValue(true);
        source.setValue(1);
        count.setLimits(1, 65536);
        count.setValue(100);
        // The editors take their ranges from the limits.
        delay.setLimits(0, 100);
        delay.setValue(0.5);
        interval.setValue(true);
        time.setLimits(0.0002, 3600);
        time.setValue(0.01);
        aperture.setLimits(0.0002, 1);
        aperture.setValue(0.005);
        elapsed.setValue(true);
        capacity.setValue(true);
        transientSource.setValue(8);
        transientDelay.setLimits(0, 100);
        transientDelay.setValue(0.000250);
    }

    zostd::ZOValueManager registry;
    zostd::ZOValue_keyword gate { 414, nullptr };
    zostd::ZOValue_bool8_t autoReset { 415 };
    zostd::ZOValue_keyword source { 2109, nullptr };
    zostd::ZOValue_int32_t count { 2105 };
    zostd::ZOValue_real64_t delay { 2106 };
    zostd::ZOValue_bool8_t interval { 2111 };
    zostd::ZOValue_real64_t time { 2110 };
    zostd::ZOValue_real64_t aperture { 501 };
    zostd::ZOValue_bool8_t elapsed { 1011 };
    zostd::ZOValue_bool8_t capacity { 1012 };
    zostd::ZOValue_bool8_t energy { 1013 };
    zostd::ZOValue_keyword transientSource { 2209, nullptr };
    zostd::ZOValue_real64_t transientDelay { 2206 };
};

// The view and its page side by side, as the measurement screen places them; `shown` runs on
// the view once it has the focus.
template <class View, class Page>
void shootView(Gallery &gallery, const QString &name, const std::function<void(View *)> &shown = {})
{
    auto *host = new QWidget;
    auto *page = new Page(host);
    auto *view = new View(page, host);
    auto *layout = new QHBoxLayout(host);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(view);
    layout->addWidget(page);
    gallery.shoot(name, host, screen, [view, shown] {
        view->template findChild<QTreeView *>()->setFocus(Qt::OtherFocusReason);
        if (shown)
            shown(view);
    });
}

} // namespace

void gallerySettingsViews(Gallery &gallery)
{
    StandInValues values;
    shootView<ViewData, FuncData>(gallery, QStringLiteral("settings-data"));
    shootView<ViewAcquire, FuncAcquire>(gallery, QStringLiteral("settings-acquire"));
    shootView<ViewAcquire, FuncAcquire>(
        gallery, QStringLiteral("settings-acquire-source-editor"), [](ViewAcquire *view) {
            view->onItemEdit();
        });
    shootView<ViewAcquire, FuncAcquire>(
        gallery, QStringLiteral("settings-acquire-delay-editor"), [](ViewAcquire *view) {
            auto *tree = view->findChild<QTreeView *>();
            tree->setCurrentIndex(tree->model()->index(2, 1, tree->model()->index(0, 0)));
            view->onItemEdit();
        });
    shootView<ViewMore, FuncDisplay>(gallery, QStringLiteral("settings-more"));
    shootView<ViewTrigger, FuncProgTrigger>(gallery, QStringLiteral("settings-trigger"));
    shootView<ViewTrigger, FuncProgTrigger>(
        gallery, QStringLiteral("settings-trigger-delay-editor"), [](ViewTrigger *view) {
            auto *tree = view->findChild<QTreeView *>();
            tree->setCurrentIndex(tree->model()->index(1, 1, tree->model()->index(0, 0)));
            view->onItemEdit();
        });
}
