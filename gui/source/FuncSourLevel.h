#pragma once

#include "gui/toolkit/FuncWidget.h"
#include "gui/toolkit/StandIn.h"

class FuncSourLevelArbitrary;
class FuncSourLevelBasic;
class QStackedWidget;

// The level page: a basic page (levels, slew rate, protections) and an arbitrary-table page, one
// shown at a time. Stands in for the real page until it is built: shows its name, switches its
// two pages and logs the calls it gets; nothing emits its signals yet but a test.
class FuncSourLevel : public FuncWidget, public StandIn
{
    Q_OBJECT

public:
    explicit FuncSourLevel(QWidget *parent = nullptr);

    FuncSourLevelBasic *basicPage() const { return m_basic; }
    FuncSourLevelArbitrary *arbitraryPage() const { return m_arbitrary; }

    void selectBasicPage() const;
    void selectArbitraryPage() const;
    bool isBasicPage() const;
    void setViewShortEnable(bool enable);
    void setViewArbSlewRateEnable(bool enable);

Q_SIGNALS:
    void tableClicked(bool checked);
    void slewRateClicked(bool checked);
    void oppClicked(bool checked);
    void uvpClicked(bool checked);

private:
    QStackedWidget *m_pages;
    FuncSourLevelBasic *m_basic;
    FuncSourLevelArbitrary *m_arbitrary;
};
