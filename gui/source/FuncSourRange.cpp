#include "gui/source/FuncSourRange.h"

#include "engine/Basic.h"
#include "gui/toolkit/FuncButton.h"
#include "gui/toolkit/GroupFunc.h"
#include "gui/toolkit/SoftKeyParts.h"
#include "gui/toolkit/StandIn.h"
#include "instrument/ModelInformation.h"

#include <QVBoxLayout>

namespace {

const QMap<int, BoundValueBase> &noRanges()
{
    static const QMap<int, BoundValueBase> none;
    return none;
}

} // namespace

FuncSourRange::FuncSourRange(vek::Basic *basic, const ModelInformation *model, QWidget *parent)
    : FuncWidget(parent)
    , m_currGroup(softkeys::group(this, 5))
    , m_voltGroup(softkeys::group(this, 5))
    , m_basic(basic)
    , m_model(model)
{
    for (FuncButton *&button : m_currKeys) {
        button = softkeys::key(m_currGroup, QString());
        softkeys::addTo(m_currGroup, button);
    }
    for (FuncButton *&button : m_voltKeys) {
        button = softkeys::key(m_voltGroup, QString());
        softkeys::addTo(m_voltGroup, button);
    }
    m_layout->addWidget(m_currGroup);
    m_layout->addWidget(m_voltGroup);
    for (GroupFunc *keys : { m_currGroup, m_voltGroup })
        keys->setStyle(GroupFunc::Blue, GroupFunc::Row, GroupFunc::NoColor);

    for (int range = 0; range < 3; ++range)
        connect(m_currKeys[range], &FuncButton::clicked, this, [this, range] {
            if (!m_basic)
                return StandIn::refuse(this);
            // A refusal shows nothing; the check mark follows the engine's next report.
            m_basic->setCurrentRange(KeywordBridge_LowMedHigh::values(range));
        });
    for (int range = 0; range < 2; ++range)
        connect(m_voltKeys[range], &FuncButton::clicked, this, [this, range] {
            if (!m_basic)
                return StandIn::refuse(this);
            m_basic->setVoltageRange(KeywordBridge_LowHigh::values(range));
        });

    initButtonsText();
    m_currKeys[KeywordBridge_LowMedHigh::HIGH]->setChecked(true);
    m_voltKeys[KeywordBridge_LowHigh::HIGH]->setChecked(true);
}

void FuncSourRange::viewFuncMode(KeywordBridge_CcCrCvCpArb::values mode)
{
    for (FuncButton *button : m_currKeys)
        button->setEnabled(false);
    m_currRangeEnable = false;

    const bool cr = mode == KeywordBridge_CcCrCvCpArb::CR;
    const QMap<int, BoundValueBase> &current = m_model ? m_model->currRangeMap() : noRanges();
    const QMap<int, BoundValueBase> &conductance = m_model ? m_model->condRangeMap() : noRanges();
    const QMap<int, BoundValueBase> &keyTable = cr ? conductance : current;
    if (keyTable.size() <= 1)
        return;

    for (int range = 2; range >= 0; --range) {
        if (!keyTable.contains(range))
            continue;
        QString text =
            ModelInformation::rangeText(ModelInformation::rangeValue(current, range), tr("A"));
        if (cr)
            text += QLatin1String("\n[")
                + ModelInformation::rangeText(
                    ModelInformation::rangeValue(conductance, range), tr("S]"));
        m_currKeys[range]->setText(text);
        m_currKeys[range]->setEnabled(true);
    }
    for (int range = 0; range < 3; ++range)
        m_currKeys[range]->setShortcut(QKeySequence(Qt::Key_F1 + range));
    m_currRangeEnable = true;
}

void FuncSourRange::initButtonsText()
{
    viewFuncMode(KeywordBridge_CcCrCvCpArb::CC);

    for (FuncButton *button : m_voltKeys)
        button->setEnabled(false);
    m_voltRangeEnable = false;
    const QMap<int, BoundValueBase> &voltage = m_model ? m_model->voltRangeMap() : noRanges();
    if (voltage.size() <= 1)
        return;
    for (int range = 1; range >= 0; --range) {
        if (!voltage.contains(range))
            continue;
        m_voltKeys[range]->setText(ModelInformation::rangeText(voltage.value(range), tr("V")));
        m_voltKeys[range]->setEnabled(true);
    }
    m_voltKeys[KeywordBridge_LowHigh::LOW]->setShortcut(QKeySequence(Qt::Key_F4));
    m_voltKeys[KeywordBridge_LowHigh::HIGH]->setShortcut(QKeySequence(Qt::Key_F5));
    m_voltRangeEnable = true;
}

void FuncSourRange::viewCurrRange(KeywordBridge_LowMedHigh::values range)
{
    if (int(range) >= 0 && int(range) < 3)
        m_currKeys[range]->setChecked(true);
}

void FuncSourRange::viewVoltRange(KeywordBridge_LowHigh::values range)
{
    if (int(range) >= 0 && int(range) < 2)
        m_voltKeys[range]->setChecked(true);
}

void FuncSourRange::onLoadOnUiChange()
{
    m_currGroup->setEnabled(false);
    m_voltGroup->setEnabled(false);
}

void FuncSourRange::onLoadOffUiChange()
{
    // A key disabled by itself stays disabled when its group is enabled again.
    m_currGroup->setEnabled(true);
    m_voltGroup->setEnabled(true);
}
