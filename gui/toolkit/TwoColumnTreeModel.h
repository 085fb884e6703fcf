#pragma once

#include <QAbstractItemModel>
#include <QCoreApplication>

// The common part of the settings and JSON tree models: a fixed tree of nodes (Node offers
// name(), value(), parent(), children() and row()) shown in two columns, "Item" and "Value".
// The root is owned and not shown; its children are the top-level rows; an index carries its
// node as internal pointer. The structure does not change while a view shows it.
template <class Node> class TwoColumnTreeModel : public QAbstractItemModel
{
public:
    explicit TwoColumnTreeModel(Node *root, QObject *parent)
        : QAbstractItemModel(parent)
        , m_root(root)
    { }
    ~TwoColumnTreeModel() override { delete m_root; }

    QModelIndex index(int row, int column, const QModelIndex &parent = {}) const override
    {
        if (!m_root || row < 0 || column < 0 || column > 1
            || (parent.isValid() && parent.column() != 0))
            return {};
        const Node *node = itemForIndex(parent);
        if (row >= node->children().size())
            return {};
        return this->createIndex(row, column, node->children().at(row));
    }

    QModelIndex parent(const QModelIndex &index) const override
    {
        const Node *node = index.isValid() ? static_cast<Node *>(index.internalPointer()) : nullptr;
        Node *parentNode = node ? node->parent() : nullptr;
        if (!parentNode || parentNode == m_root || !parentNode->parent())
            return {};
        return this->createIndex(parentNode->row(), 0, parentNode);
    }

    int rowCount(const QModelIndex &parent = {}) const override
    {
        if (!m_root || (parent.isValid() && parent.column() != 0))
            return 0;
        return itemForIndex(parent)->children().size();
    }

    int columnCount(const QModelIndex &parent = {}) const override
    {
        return parent.isValid() && parent.column() == 1 ? 0 : 2;
    }

    // Names in column 0, the nodes' values in column 1, both left-aligned and centred upright.
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override
    {
        if (!m_root || !index.isValid() || index.column() > 1)
            return {};
        switch (role) {
        case Qt::DisplayRole:
        case Qt::EditRole: {
            const Node *node = itemForIndex(index);
            return index.column() == 0 ? QVariant(node->name()) : node->value();
        }
        case Qt::TextAlignmentRole:
            return int(Qt::AlignLeft | Qt::AlignVCenter);
        default:
            return {};
        }
    }

    QVariant headerData(
        int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override
    {
        if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
            return {};
        if (section == 0)
            return QCoreApplication::translate("TwoColumnTreeModel", "Item");
        if (section == 1)
            return QCoreApplication::translate("TwoColumnTreeModel", "Value");
        return {};
    }

    // The headers are fixed.
    bool setHeaderData(int, Qt::Orientation, const QVariant &, int = Qt::EditRole) override
    {
        return false;
    }

    // The index's node; the root for an invalid index.
    Node *itemForIndex(const QModelIndex &index) const
    {
        if (index.isValid() && index.internalPointer())
            return static_cast<Node *>(index.internalPointer());
        return m_root;
    }

protected:
    Node *m_root; // owned
};
