#include "gui/shell/SettingsViewStandIns.h"

ViewData::ViewData(FuncData *, QWidget *parent)
    : QWidget(parent)
    , StandIn(this, "ViewData")
{ }

ViewAcquire::ViewAcquire(FuncAcquire *, QWidget *parent)
    : QWidget(parent)
    , StandIn(this, "ViewAcquire")
{ }

ViewMore::ViewMore(FuncDisplay *, QWidget *parent)
    : QWidget(parent)
    , StandIn(this, "ViewMore")
{ }

ViewTrigger::ViewTrigger(FuncProgTrigger *, QWidget *parent)
    : QWidget(parent)
    , StandIn(this, "ViewTrigger")
{ }
