#include "gui/toolkit/ZOValueModel.h"

ZOValueModel::ZOValueModel(ZONode *root, QObject *parent)
    : TwoColumnTreeModel<ZONode>(root, parent)
{ }

bool ZOValueModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (!index.isValid() || index.column() != 1 || role != Qt::EditRole)
        return false;
    const bool written = itemForIndex(index)->setValue(value);
    // Also after a refusal: the cell shows the setting it kept.
    emit dataChanged(index, index);
    return written;
}

Qt::ItemFlags ZOValueModel::flags(const QModelIndex &index) const
{
    Qt::ItemFlags flags = QAbstractItemModel::flags(index);
    if (!index.isValid())
        return flags;
    flags |= Qt::ItemIsSelectable | Qt::ItemIsEnabled;
    const ZONode *node = itemForIndex(index);
    if (index.column() == 0 || node->valueId() == 0 || isLocked(node))
        return flags;
    return flags | Qt::ItemIsEditable;
}

ZONode::ItemType ZOValueModel::type(const QModelIndex &index) const
{
    return m_root ? itemForIndex(index)->type() : ZONode::Heading;
}

QVector<QVariant> ZOValueModel::valueList(const QModelIndex &index) const
{
    const ZONode *node = itemForIndex(index);
    if (!node)
        return {};
    const QMap<QString, QVariant> &options = node->options();
    switch (node->type()) {
    case ZONode::Choice: {
        QVector<QVariant> texts;
        for (const QString &text : options.keys())
            texts << text;
        return texts;
    }
    case ZONode::Integer:
    case ZONode::Real:
    case ZONode::RealSiPrefix: {
        const QVector<QVariant> limits = node->valueMinMax();
        return {
            options.value(
                QStringLiteral("MinValue"), limits.isEmpty() ? QVariant() : limits.first()),
            options.value(
                QStringLiteral("MaxValue"), limits.isEmpty() ? QVariant() : limits.last()),
            options.value(QStringLiteral("DecimalsValue"), 0),
            options.value(QStringLiteral("SingleStepValue"), 1),
            options.value(QStringLiteral("SpecialValueText"), QString()),
        };
    }
    case ZONode::Heading:
        break;
    }
    return {};
}

void ZOValueModel::appendNotEditable(const ZONode *node)
{
    if (!m_notEditable.contains(node))
        m_notEditable.append(node);
}

void ZOValueModel::removeNotEditable(const ZONode *node)
{
    m_notEditable.removeOne(node);
}

bool ZOValueModel::isLocked(const ZONode *node) const
{
    for (; node; node = node->parent()) {
        if (m_notEditable.contains(node))
            return true;
    }
    return false;
}
