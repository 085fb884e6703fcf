#include "gui/source/FuncSourMemory.h"

#include "engine/AbcMemory.h"
#include "engine/Basic.h"
#include "engine/ELoad.h"
#include "gui/toolkit/FuncButton.h"
#include "gui/toolkit/GroupFunc.h"
#include "gui/toolkit/SoftKeyParts.h"
#include "gui/toolkit/StandIn.h"
#include "gui/toolkit/zoMessageBox.h"

#include <QVBoxLayout>

namespace {

vek::Basic *engineBasic()
{
    return vek::ELoad::s_pSelf ? vek::ELoad::s_pSelf->basic() : nullptr;
}

vek::AbcMemories *enginePresets()
{
    return vek::ELoad::s_pSelf ? vek::ELoad::s_pSelf->presets() : nullptr;
}

} // namespace

FuncSourMemory::FuncSourMemory(QWidget *parent)
    : FuncWidget(parent)
    , m_presetGroup(softkeys::group(this, 5))
    , m_modeGroup(softkeys::group(this, 5))
{
    for (FuncButton *&button : m_presetKeys) {
        button = softkeys::key(m_presetGroup, QString());
        softkeys::addTo(m_presetGroup, button);
    }
    m_recallKey = softkeys::key(m_modeGroup, tr("Recall"), Qt::Key_F4);
    m_storeKey = softkeys::key(m_modeGroup, tr("Store"), Qt::Key_F5);
    softkeys::addTo(m_modeGroup, m_recallKey);
    softkeys::addTo(m_modeGroup, m_storeKey);
    m_layout->addWidget(m_presetGroup);
    m_layout->addWidget(m_modeGroup);
    for (GroupFunc *keys : { m_presetGroup, m_modeGroup })
        keys->setStyle(GroupFunc::Blue, GroupFunc::Row, GroupFunc::NoColor);

    createConnections();
    recallSelected();
}

void FuncSourMemory::createConnections()
{
    for (int index = 0; index < 3; ++index)
        connect(m_presetKeys[index], &FuncButton::clicked, this, [this, index] {
            if (abcMemoryExcute(index)) {
                m_marked = index;
                m_presetKeys[index]->setChecked(true);
                dynamicConnect();
            } else if (m_marked >= 0) {
                // The press checked its key; a press the preset did not take keeps the mark
                // where it was.
                m_presetKeys[m_marked]->setChecked(true);
            } else {
                m_presetGroup->setUnchecked();
            }
        });
    connect(m_recallKey, &FuncButton::clicked, this, &FuncSourMemory::recallSelected);
    connect(m_storeKey, &FuncButton::clicked, this, &FuncSourMemory::storeSelected);

    vek::Basic *basic = engineBasic();
    if (!basic)
        return;
    connect(basic, &vek::Source::operationModeChanged, this, &FuncSourMemory::recallSelected);
    connect(basic, &vek::Source::currRangeChanged, this, &FuncSourMemory::recallSelected);
    connect(basic, &vek::Source::voltRangeChanged, this, &FuncSourMemory::recallSelected);
}

void FuncSourMemory::dynamicConnect()
{
    vek::Basic *basic = engineBasic();
    if (!basic)
        return;
    const QMetaObject::Connection made[4] = {
        connect(basic,
            &vek::Basic::currentUiChanged,
            this,
            &FuncSourMemory::onValueChange,
            Qt::UniqueConnection),
        connect(basic,
            &vek::Basic::conductanceUiChanged,
            this,
            &FuncSourMemory::onValueChange,
            Qt::UniqueConnection),
        connect(basic,
            &vek::Basic::voltageUiChanged,
            this,
            &FuncSourMemory::onValueChange,
            Qt::UniqueConnection),
        connect(basic,
            &vek::Basic::powerUiChanged,
            this,
            &FuncSourMemory::onValueChange,
            Qt::UniqueConnection),
    };
    // A connection that already stands comes back invalid: keep the standing handle.
    for (int n = 0; n < 4; ++n)
        if (made[n])
            m_levelConnections[n] = made[n];
}

void FuncSourMemory::onValueChange(double)
{
    for (QMetaObject::Connection &connection : m_levelConnections) {
        disconnect(connection);
        connection = QMetaObject::Connection();
    }
    m_marked = -1;
    m_presetGroup->setUnchecked();
}

void FuncSourMemory::setKeyTexts(const QString (&names)[3])
{
    vek::AbcMemories *presets = enginePresets();
    for (int index = 0; index < 3; ++index) {
        const QString preview = presets ? presets->preview(index) : QString();
        m_presetKeys[index]->setText(names[index] + QLatin1Char('\n') + preview);
        m_presetKeys[index]->setShortcut(QKeySequence(Qt::Key_F1 + index));
    }
}

void FuncSourMemory::recallSelected()
{
    setKeyTexts({ tr("A"), tr("B"), tr("C") });
    m_recallKey->setChecked(true);
}

void FuncSourMemory::storeSelected()
{
    setKeyTexts({ tr("A..."), tr("B..."), tr("C\u2026") });
    m_storeKey->setChecked(true);
}

bool FuncSourMemory::storeMessage(const QString &name)
{
    zoMessageBox box(this, true);
    box.setText(tr("Do you want to store preset memory %1?").arg(name));
    return box.exec() == QDialog::Accepted;
}

bool FuncSourMemory::abcMemoryExcute(int index)
{
    vek::AbcMemories *presets = enginePresets();
    vek::Basic *basic = engineBasic();
    if (!presets || !basic) {
        StandIn::refuse(this);
        return false;
    }
    if (m_recallKey->isChecked()) {
        // A refused recall (a program running) shows nothing, and no key is marked as in force.
        return presets->recall(index, *basic) == 0;
    }

    const QString names[3] = { tr("A"), tr("B"), tr("C") };
    if (!storeMessage(names[index]))
        return false;
    const vek::SCPIERR_T error = presets->store(index, *basic);
    recallSelected();
    if (error != 0) {
        auto *box = new zoMessageBox(short(error), window());
        box->setAttribute(Qt::WA_DeleteOnClose);
        box->show();
        return false;
    }
    return true;
}

void FuncSourMemory::showEvent(QShowEvent *event)
{
    recallSelected();
    FuncWidget::showEvent(event);
}

void FuncSourMemory::setKeyLockMode()
{
    // The preset keys may read "A..." from store mode: under key lock they only recall.
    recallSelected();
    m_modeGroup->setEnabled(false);
}

void FuncSourMemory::clearKeyLockMode()
{
    m_modeGroup->setEnabled(true);
}
