#include "gui/shell/ViewAcquire.h"

#include "engine/AcquireTrigger.h"
#include "gui/shell/MeasureKeyPages.h"
#include "gui/shell/ui_ViewTree.h"
#include "gui/toolkit/FuncButton.h"
#include "gui/toolkit/ZOValueModel.h"
#include "instrument/ModelInformation.h"

#include <QTreeView>

ViewAcquire::ViewAcquire(FuncAcquire *keys, QWidget *parent)
    : SettingsView(keys->m_editButton, true, parent)
    , m_keys(keys)
{
    createLayout();
    createConnections();
}

void ViewAcquire::createLayout()
{
    // Stored values are the trigger-source keyword indexes: IMM, BUS, DIGITAL2, MSYN, TAL and
    // LOADOFF, which the controller offers only on some models.
    const ModelInformation *info = ModelInformation::s_pSelf;
    QMap<QString, QVariant> sources { { tr("0: Immediate"), 0 },
        { tr("1: BUS"), 1 },
        { tr("2: DIGITAL2"), 6 },
        { tr("3: MSync"), 8 },
        { tr("4: TALink"), 7 } };
    if (info && info->iocTrigAcquireEx())
        sources.insert(tr("5: Load Off"), 9);
    const QMap<QString, QVariant> precision {
        { QStringLiteral("DecimalsValue"), info ? info->measDecimals() : 4 },
        { QStringLiteral("SingleStepValue"), info ? info->measSingleStep() : 0.0002 },
    };

    m_root = new ZONode(QStringLiteral("Acquire"));
    ZONode *trigger = m_root->addChild(tr("Trigger"), 0, ZONode::Heading);
    trigger->addChild(tr("Source"), 2109, ZONode::Choice, sources);
    trigger->addChild(tr("Count"), 2105, ZONode::Integer);
    trigger->addChild(tr("Delay[s]"), 2106, ZONode::Real, precision);
    trigger->addChild(
        tr("Interval"), 2111, ZONode::Choice, { { tr("0: Disable"), 0 }, { tr("1: Enable"), 1 } });
    trigger->addChild(tr("Interval Time[s]"), 2110, ZONode::Real, precision);
    m_root->addChild(tr("Sense Aperture[s]"), 501, ZONode::Real, precision);

    setUpHeader(100);
    setTree(m_root);
    m_ui->treeView->resizeColumnToContents(0);
    finishLayout(firstNestedValueCell());
}

void ViewAcquire::createConnections()
{
    connectEditKey();
    connectAction(m_keys->m_initiateButton, &vek::AcquireTrigger::initiate);
    connectAction(m_keys->m_abortButton, &vek::AcquireTrigger::abort);
    connectAction(m_keys->m_msyncButton, &vek::AcquireTrigger::msync);
    connectAction(m_keys->m_triggerButton, &vek::AcquireTrigger::trigger);
}

void ViewAcquire::setValueLock(bool locked)
{
    ZOValueModel *model = valueModel();
    if (locked)
        model->appendNotEditable(m_root);
    else
        model->removeNotEditable(m_root);
}
