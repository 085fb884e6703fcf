#include "gui/shell/ViewData.h"

#include "engine/AcquireTrigger.h"
#include "gui/shell/MeasureKeyPages.h"
#include "gui/shell/ui_ViewTree.h"
#include "gui/toolkit/FuncButton.h"
#include "gui/toolkit/ZONode.h"

#include <QTreeView>

ViewData::ViewData(FuncData *keys, QWidget *parent)
    : SettingsView(keys->m_editButton, false, parent)
    , m_keys(keys)
{
    createLayout();
    createConnections();
}

void ViewData::createLayout()
{
    // This view fits its text column before the tree exists, so only the header's width counts.
    setUpHeader(120);
    m_ui->treeView->resizeColumnToContents(0);

    auto *root = new ZONode(QStringLiteral("Data"));
    ZONode *gate = root->addChild(tr("Integral Gate"),
        414,
        ZONode::Choice,
        { { tr("0: None"), 0 }, { tr("1: Load On"), 1 }, { tr("2: Program Run"), 2 } });
    gate->addChild(
        tr("Reset"), 415, ZONode::Choice, { { tr("0: Manual"), 0 }, { tr("1: Auto"), 1 } });
    setTree(root);

    QAbstractItemModel *model = m_ui->treeView->model();
    finishLayout(model->index(0, 1));
}

void ViewData::createConnections()
{
    connectEditKey();
    // The integral commands always succeed; only a missing engine is refused.
    connectAction(m_keys->m_startButton, &vek::AcquireTrigger::integralStart);
    connectAction(m_keys->m_stopButton, &vek::AcquireTrigger::integralStop);
    connectAction(m_keys->m_resetButton, &vek::AcquireTrigger::integralReset);
}
