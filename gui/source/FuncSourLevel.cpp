#include "gui/source/FuncSourLevel.h"

#include "gui/source/FuncSourLevelArbitrary.h"
#include "gui/source/FuncSourLevelBasic.h"
#include "gui/toolkit/FuncButton.h"

#include <QHBoxLayout>
#include <QStackedWidget>

namespace {

// Pages taller than this would push the measurement screen's keys off the panel.
constexpr int PageHeight = 215;

} // namespace

FuncSourLevel::FuncSourLevel(QWidget *parent)
    : QWidget(parent)
    , m_basicPage(new FuncSourLevelBasic(this))
    , m_arbitraryPage(new FuncSourLevelArbitrary(this))
    , m_pages(new QStackedWidget(this))
{
    m_pages->addWidget(m_basicPage);
    m_pages->addWidget(m_arbitraryPage);
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_pages);

    connect(m_basicPage->ui->value, &FuncButton::clicked, this, &FuncSourLevel::tableClicked);
    const Ui_FuncSourLevelArbitrary *arb = m_arbitraryPage->ui;
    connect(arb->slewRate, &FuncButton::clicked, this, &FuncSourLevel::slewRateClicked);
    connect(arb->opp, &FuncButton::clicked, this, &FuncSourLevel::oppClicked);
    connect(arb->uvp, &FuncButton::clicked, this, &FuncSourLevel::uvpClicked);

    setMaximumSize(QWIDGETSIZE_MAX, PageHeight);
}

bool FuncSourLevel::isBasicPage() const
{
    return m_pages->currentWidget() == m_basicPage;
}

bool FuncSourLevel::isArbitraryPage() const
{
    return m_pages->currentWidget() == m_arbitraryPage;
}

void FuncSourLevel::selectBasicPage() const
{
    m_pages->setCurrentWidget(m_basicPage);
}

void FuncSourLevel::selectArbitraryPage() const
{
    m_pages->setCurrentWidget(m_arbitraryPage);
}

void FuncSourLevel::setViewShortEnable(bool enable)
{
    m_basicPage->setShortEnable(enable);
}

void FuncSourLevel::setViewArbSlewRateEnable(bool enable)
{
    m_basicPage->setArbSlewRateEnable(enable);
    m_arbitraryPage->setViewSlewRateEnable(enable);
}
