#include "gui/source/ViewArbitrary.h"

#include "gui/source/FuncSourLevelArbitrary.h"

ViewArbitrary::ViewArbitrary(FuncSourLevelArbitrary *page, QWidget *parent)
    : QWidget(parent)
    , StandIn(this, "ViewArbitrary")
{
    if (!page)
        return;
    // The table and its point count are not built: the keys say so.
    connect(page, &FuncSourLevelArbitrary::tableClicked, this, [this] {
        record(QStringLiteral("clicked table"));
        refuse(this);
    });
    connect(page, &FuncSourLevelArbitrary::countClicked, this, [this] {
        record(QStringLiteral("clicked count"));
        refuse(this);
    });
    connect(page, &FuncSourLevelArbitrary::countEditingFinished, this, [this] {
        record(QStringLiteral("countEditingFinished"));
    });
}
