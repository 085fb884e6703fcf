#pragma once

#include "gui/toolkit/JsNode.h"
#include "gui/toolkit/TwoColumnTreeModel.h"

#include <QVector>

// A tree of JsNodes for a tree view, columns "Item" and "Value", over the shared JSON object
// (JsNode::jsonObject()). Value cells of nodes with a key are editable while m_editable is true
// (the interface page sets it in its modify mode). GUI thread only.
class JsonModel : public TwoColumnTreeModel<JsNode>
{
    Q_OBJECT

public:
    // Takes the tree.
    explicit JsonModel(JsNode *root, QObject *parent = nullptr);

    // Replaces the shared object; every view shows the new values (a model reset).
    void setJsonObject(const QJsonObject &object);
    // Deletes the tree and takes another one (a model reset, so no view keeps an index into
    // the deleted nodes).
    void setRootNode(JsNode *root);

    // The row's item type (the root's for an invalid index; Heading without a root).
    JsNode::ItemType type(const QModelIndex &index) const;
    // A choice's option texts in sorted order; for Integer and Real rows their editor's minimum,
    // maximum, decimals and single step (options "MinValue", "MaxValue", "DecimalsValue",
    // "SingleStepValue"; default the 32-bit integer range, 0 decimals, step 1); else empty.
    QVector<QVariant> valueList(const QModelIndex &index) const;

    // Adds a size hint of 10 x 30 for the setup file's modification date ("date:modify").
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    // Writes a Value cell into the shared object (edit role only); false when nothing was written.
    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

    bool m_editable = false;
};
