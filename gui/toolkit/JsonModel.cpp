#include "gui/toolkit/JsonModel.h"

#include <QSize>

#include <climits>

JsonModel::JsonModel(JsNode *root, QObject *parent)
    : TwoColumnTreeModel<JsNode>(root, parent)
{ }

void JsonModel::setJsonObject(const QJsonObject &object)
{
    beginResetModel();
    JsNode::setJsonObject(object);
    endResetModel();
}

void JsonModel::setRootNode(JsNode *root)
{
    beginResetModel();
    delete m_root;
    m_root = root;
    endResetModel();
}

JsNode::ItemType JsonModel::type(const QModelIndex &index) const
{
    const JsNode *node = itemForIndex(index);
    return node ? node->type() : JsNode::Heading;
}

QVector<QVariant> JsonModel::valueList(const QModelIndex &index) const
{
    const JsNode *node = itemForIndex(index);
    if (!node)
        return {};
    const QMap<QString, QVariant> &options = node->options();
    switch (node->type()) {
    case JsNode::Choice: {
        QVector<QVariant> texts;
        for (const QString &text : options.keys())
            texts << text;
        return texts;
    }
    case JsNode::Integer:
    case JsNode::Real:
        return {
            options.value(QStringLiteral("MinValue"), double(INT_MIN)),
            options.value(QStringLiteral("MaxValue"), double(INT_MAX)),
            options.value(QStringLiteral("DecimalsValue"), 0),
            options.value(QStringLiteral("SingleStepValue"), 1),
        };
    default:
        return {};
    }
}

QVariant JsonModel::data(const QModelIndex &index, int role) const
{
    if (role != Qt::SizeHintRole)
        return TwoColumnTreeModel<JsNode>::data(index, role);
    if (!m_root || !index.isValid() || index.column() > 1)
        return {};
    if (itemForIndex(index)->key() == QLatin1String("date:modify"))
        return QSize(10, 30);
    return {};
}

bool JsonModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (!index.isValid() || index.column() != 1 || role != Qt::EditRole)
        return false;
    if (!itemForIndex(index)->setValue(value))
        return false;
    emit dataChanged(index, index);
    return true;
}

Qt::ItemFlags JsonModel::flags(const QModelIndex &index) const
{
    Qt::ItemFlags flags = QAbstractItemModel::flags(index);
    if (!index.isValid())
        return flags;
    flags |= Qt::ItemIsSelectable | Qt::ItemIsEnabled;
    if (m_editable && index.column() == 1 && !itemForIndex(index)->key().isEmpty())
        flags |= Qt::ItemIsEditable;
    return flags;
}
