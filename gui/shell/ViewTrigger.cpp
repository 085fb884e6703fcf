#include "gui/shell/ViewTrigger.h"

#include "gui/shell/MeasureKeyPages.h"
#include "gui/shell/ui_ViewTree.h"
#include "gui/toolkit/ZONode.h"

#include <QTreeView>

ViewTrigger::ViewTrigger(FuncProgTrigger *keys, QWidget *parent)
    : SettingsView(keys->m_editButton, false, parent)
    , m_keys(keys)
{
    createLayout();
    connectEditKey();
}

void ViewTrigger::createLayout()
{
    // Trigger-source keyword indexes IMM, BUS, DIGITAL2 and MSYN; the delay in steps of 1 us
    // whatever the model.
    const QMap<QString, QVariant> sources { { tr("0: Immediate"), 0 },
        { tr("1: BUS"), 1 },
        { tr("2: DIGITAL2"), 6 },
        { tr("3: MSync"), 8 } };
    const QMap<QString, QVariant> delay { { QStringLiteral("DecimalsValue"), 6 },
        { QStringLiteral("SingleStepValue"), 0.000001 } };

    auto *root = new ZONode(QStringLiteral("More"));
    ZONode *trigger = root->addChild(tr("Trigger"), 0, ZONode::Heading);
    trigger->addChild(tr("Source"), 2209, ZONode::Choice, sources);
    trigger->addChild(tr("Delay[s]"), 2206, ZONode::Real, delay);

    setUpHeader(110);
    setTree(root);
    m_ui->treeView->resizeColumnToContents(0);
    finishLayout(firstNestedValueCell());
}
