#include "gui/source/FuncSourLevel.h"

#include "gui/source/FuncSourLevelArbitrary.h"
#include "gui/source/FuncSourLevelBasic.h"

#include <QLayout>
#include <QStackedWidget>

FuncSourLevel::FuncSourLevel(QWidget *parent)
    : FuncWidget(parent)
    , StandIn(this, "FuncSourLevel")
    , m_pages(new QStackedWidget(this))
    , m_basic(new FuncSourLevelBasic(m_pages))
    , m_arbitrary(new FuncSourLevelArbitrary(m_pages))
{
    m_pages->addWidget(m_basic);
    m_pages->addWidget(m_arbitrary);
    m_layout->addWidget(m_pages);
}

void FuncSourLevel::selectBasicPage() const
{
    m_pages->setCurrentWidget(m_basic);
}

void FuncSourLevel::selectArbitraryPage() const
{
    m_pages->setCurrentWidget(m_arbitrary);
}

bool FuncSourLevel::isBasicPage() const
{
    return m_pages->currentWidget() == m_basic;
}

void FuncSourLevel::setViewShortEnable(bool enable)
{
    record(QStringLiteral("setViewShortEnable(%1)").arg(QLatin1String(enable ? "true" : "false")));
}

void FuncSourLevel::setViewArbSlewRateEnable(bool enable)
{
    record(QStringLiteral("setViewArbSlewRateEnable(%1)")
               .arg(QLatin1String(enable ? "true" : "false")));
}
