#include "gui/shell/ViewMore.h"

#include "gui/shell/MeasureKeyPages.h"
#include "gui/shell/ui_ViewTree.h"
#include "gui/toolkit/ZONode.h"

#include <QTreeView>

ViewMore::ViewMore(FuncDisplay *keys, QWidget *parent)
    : SettingsView(keys->m_editButton, true, parent)
    , m_keys(keys)
{
    createLayout();
    connectEditKey();
}

void ViewMore::createLayout()
{
    const QMap<QString, QVariant> choices = { { tr("0: Disable"), 0 }, { tr("1: Enable"), 1 } };
    auto *root = new ZONode(QStringLiteral("more"));
    ZONode *display = root->addChild(tr("Display"), 0, ZONode::Heading);
    display->addChild(tr("Elapsed Time"), 1011, ZONode::Choice, choices);
    display->addChild(tr("Capacity"), 1012, ZONode::Choice, choices);
    display->addChild(tr("Energy"), 1013, ZONode::Choice, choices);

    setUpHeader(120);
    setTree(root);
    m_ui->treeView->resizeColumnToContents(1);
    finishLayout(firstNestedValueCell());
}
