#pragma once

#include <QList>
#include <QMap>
#include <QString>
#include <QVariant>
#include <QVector>

namespace zostd {
class IValue;
}

// One row of a settings tree: a name and the id of the value object it shows. The node keeps no
// copy of the setting: value() reads the value object on every call and setValue() writes
// through it, the same path a remote command takes, so limits and error numbers are the remote
// interface's. GUI thread only; no lock is taken.
//
// Options by item type:
//   Choice: option text -> stored value (keyword index, 0/1 switch or number). The texts are
//     offered in sorted order, so screens begin them with their position ("0: Manual").
//   Integer, Real, RealSiPrefix: "MinValue", "MaxValue" (default: the value object's limits),
//     "DecimalsValue" (0), "SingleStepValue" (1) and "SpecialValueText" (shown at the minimum).
class ZONode
{
public:
    enum ItemType { Heading = 0, Choice = 1, Integer = 2, Real = 3, RealSiPrefix = 4 };

    // Appends itself to parent's children when parent is not null.
    ZONode(const QString &name,
        unsigned valueId = 0,
        ItemType type = Heading,
        const QMap<QString, QVariant> &options = {},
        ZONode *parent = nullptr);
    ~ZONode();
    ZONode(const ZONode &) = delete;
    ZONode &operator=(const ZONode &) = delete;

    // A new last child.
    ZONode *addChild(const QString &name,
        unsigned valueId,
        ItemType type,
        const QMap<QString, QVariant> &options = {});
    // Takes the child at a valid row out of the tree; the caller owns it.
    ZONode *takeChild(int row);

    // The bound value's type tag ("keyword", "int32_t", ...); null without a registered value.
    QString iValueType() const;
    // The Value cell: a choice's option text(s) ("a | b" for a keyword list), the number of a
    // numeric row (or its special text at the minimum); invalid for headings and unknown ids.
    QVariant value() const;
    // Writes an edited value (a choice's option text, or a number). Returns true when the value
    // object took it. A refusal shows the error's text in a self-closing box and keeps the old
    // setting; a value that is no number, an unknown option text or an unknown id changes
    // nothing and shows nothing.
    bool setValue(const QVariant &value);
    // The value object's limits in base units (empty for kinds without limits).
    QVector<QVariant> valueMinMax() const;

    QString name() const { return m_name; }
    unsigned valueId() const { return m_valueId; }
    ItemType type() const { return m_type; }
    const QMap<QString, QVariant> &options() const { return m_options; }
    ZONode *parent() const { return m_parent; }
    const QList<ZONode *> &children() const { return m_children; }
    int row() const
    {
        return m_parent ? m_parent->m_children.indexOf(const_cast<ZONode *>(this)) : 0;
    }

private:
    zostd::IValue *boundValue() const;
    QVariant rawValue(zostd::IValue *value) const;
    QString choiceText(const QVariant &raw) const;
    // The value object's result: 0 or an error number.
    int write(zostd::IValue *value, int asInt, double asDouble) const;

    QString m_name;
    unsigned m_valueId;
    ItemType m_type;
    QMap<QString, QVariant> m_options;
    ZONode *m_parent = nullptr;
    QList<ZONode *> m_children; // owned
};
