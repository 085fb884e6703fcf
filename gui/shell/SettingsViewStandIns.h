#pragma once

#include "gui/toolkit/StandIn.h"

#include <QWidget>

class FuncAcquire;
class FuncData;
class FuncDisplay;
class FuncProgTrigger;

// The measurement screen's four settings trees (integral, acquisition, display items, transient
// trigger) are built elsewhere; until they are, each is held by a widget of the same name and
// constructor that shows its name. All four live here so that they leave together.

class ViewData : public QWidget, public StandIn
{
    Q_OBJECT

public:
    ViewData(FuncData *keys, QWidget *parent = nullptr);
};

class ViewAcquire : public QWidget, public StandIn
{
    Q_OBJECT

public:
    ViewAcquire(FuncAcquire *keys, QWidget *parent = nullptr);
};

class ViewMore : public QWidget, public StandIn
{
    Q_OBJECT

public:
    ViewMore(FuncDisplay *keys, QWidget *parent = nullptr);
};

class ViewTrigger : public QWidget, public StandIn
{
    Q_OBJECT

public:
    ViewTrigger(FuncProgTrigger *keys, QWidget *parent = nullptr);
};
