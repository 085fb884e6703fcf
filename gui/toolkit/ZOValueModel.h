#pragma once

#include "gui/toolkit/TwoColumnTreeModel.h"
#include "gui/toolkit/ZONode.h"

// A settings tree of ZONodes for a tree view: column 0 "Item" (the names), column 1 "Value" (read
// from the value objects at every repaint). Value cells of rows bound to a value are editable
// unless the row or one of its ancestors is locked with appendNotEditable(). The structure is
// built before the model and does not change afterwards. GUI thread only.
class ZOValueModel : public TwoColumnTreeModel<ZONode>
{
    Q_OBJECT

public:
    // Takes the tree (the root itself is not shown; its children are the top-level rows).
    explicit ZOValueModel(ZONode *root, QObject *parent = nullptr);

    // Writes a Value cell through its value object (edit role only). False when nothing was
    // written: the value object refused it (after the error box) or it was no valid value.
    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

    // The row's item type (the root's for an invalid index).
    ZONode::ItemType type(const QModelIndex &index) const;
    // The editor's set-up: a choice's option texts in sorted order; for numeric rows exactly
    // minimum, maximum, decimals, single step and special value text; empty otherwise.
    QVector<QVariant> valueList(const QModelIndex &index) const;

    // Locks and unlocks the value cells of a node and all its descendants (for example while an
    // acquisition runs). Locking a locked node again changes nothing.
    void appendNotEditable(const ZONode *node);
    void removeNotEditable(const ZONode *node);

private:
    bool isLocked(const ZONode *node) const;

    QList<const ZONode *> m_notEditable;
};
