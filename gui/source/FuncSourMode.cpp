#include "gui/source/FuncSourMode.h"

#include "engine/Basic.h"
#include "gui/toolkit/FuncButton.h"
#include "gui/toolkit/GroupFunc.h"
#include "gui/toolkit/SoftKeyParts.h"
#include "gui/toolkit/StandIn.h"

#include <QHBoxLayout>
#include <QStackedWidget>
#include <QVBoxLayout>

namespace {

constexpr unsigned AllModes = 0x1F;
constexpr unsigned CcCr = 0x03;
constexpr unsigned CcOnly = 0x01;

} // namespace

FuncSourPage1::FuncSourPage1(QWidget *parent)
    : FuncWidget(parent)
    , m_group(softkeys::group(this, 5))
{
    const QString texts[5] = { tr("CC"), tr("CR"), tr("CV"), tr("CP"), tr("ARB") };
    for (int mode = 0; mode < 5; ++mode) {
        m_keys[mode] = softkeys::key(m_group, texts[mode], Qt::Key_F1 + mode);
        softkeys::addTo(m_group, m_keys[mode]);
    }
    m_layout->addWidget(m_group);
    setStyle(Blue, Row, NoColor);
}

FuncSourMode::FuncSourMode(vek::Basic *basic, QWidget *parent)
    : QWidget(parent)
    , m_basic(basic)
{
    createWidgets();
    createLayout();
    createConnections();
}

void FuncSourMode::createWidgets()
{
    m_stack = new QStackedWidget(this);
    m_page1 = new FuncSourPage1(m_stack);
}

void FuncSourMode::createLayout()
{
    m_stack->addWidget(m_page1);
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_stack);
}

void FuncSourMode::createConnections()
{
    for (int mode = 0; mode < 5; ++mode)
        connect(m_page1->m_keys[mode], &FuncButton::clicked, this, [this, mode] {
            if (!m_basic) {
                StandIn::refuse(this);
                return;
            }
            // Refusals (load on, pulse, sine, short, a running program) show nothing: the
            // keys for them are disabled, and the checked key follows the engine's report.
            m_basic->setFunctionMode(KeywordBridge_CcCrCvCpArb::values(mode));
        });
}

void FuncSourMode::check(int mode)
{
    m_page1->m_keys[mode]->setChecked(true);
}

void FuncSourMode::onCcModeUiChange()
{
    check(KeywordBridge_CcCrCvCpArb::CC);
}

void FuncSourMode::onCcCvModeUiChange()
{
    check(KeywordBridge_CcCrCvCpArb::CC);
}

void FuncSourMode::onCrModeUiChange()
{
    check(KeywordBridge_CcCrCvCpArb::CR);
}

void FuncSourMode::onCrCvModeUiChange()
{
    check(KeywordBridge_CcCrCvCpArb::CR);
}

void FuncSourMode::onCvModeUiChange()
{
    check(KeywordBridge_CcCrCvCpArb::CV);
}

void FuncSourMode::onCpModeUiChange()
{
    check(KeywordBridge_CcCrCvCpArb::CP);
}

void FuncSourMode::onArbModeUiChange()
{
    check(KeywordBridge_CcCrCvCpArb::ARB);
}

void FuncSourMode::enableModes(unsigned modes)
{
    for (int mode = 0; mode < 5; ++mode)
        m_page1->m_keys[mode]->setEnabled(modes & (1u << mode));
}

void FuncSourMode::onLoadOnUiChange()
{
    const QPushButton *checked = m_page1->m_group->checkPushButton();
    unsigned modes = 0;
    for (int mode = 0; mode < 5; ++mode)
        if (m_page1->m_keys[mode] == checked)
            modes |= 1u << mode;
    enableModes(modes);
}

void FuncSourMode::onLoadOnCvUiChange()
{
    onLoadOnUiChange();
}

void FuncSourMode::onLoadOffUiChange()
{
    enableModes(AllModes);
}

void FuncSourMode::onLoadOffPulseShortUiChange()
{
    enableModes(CcCr);
}

void FuncSourMode::onLoadOffSineUiChange()
{
    enableModes(CcOnly);
}
