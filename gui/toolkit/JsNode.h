#pragma once

#include <QJsonObject>
#include <QList>
#include <QMap>
#include <QString>
#include <QVariant>

// One row of a JSON tree: a display name and the member of the shared JSON object it shows and
// edits. All trees share one object (jsonObject()), which a page fills, lets the user edit and
// reads back; it is not guarded and is touched only in the GUI thread (asserted).
//
// A Choice's options map option text -> stored value. The value of the option whose text sorts
// first decides how the member is read and written: as a JSON boolean when it is a bool,
// otherwise as a number. Integer and Real rows may carry "MinValue", "MaxValue",
// "DecimalsValue" and "SingleStepValue" for their editor.
class JsNode
{
public:
    enum ItemType {
        Heading = 0,
        Text = 1,
        Choice = 2,
        Integer = 3,
        Real = 4,
        Ipv4Address = 5,
        HostName = 6,
        FreeText = 7,
    };

    // A node without parent (pages use it as the root, a Heading).
    JsNode(const QString &name,
        const QString &key = QString(),
        ItemType type = Heading,
        const QMap<QString, QVariant> &options = {});
    ~JsNode();
    JsNode(const JsNode &) = delete;
    JsNode &operator=(const JsNode &) = delete;

    // A new last child.
    JsNode *addChild(const QString &name,
        const QString &key,
        ItemType type,
        const QMap<QString, QVariant> &options = {});

    // The Value cell: the member as text or number, or a choice's option text (empty when no
    // option matches); a missing member reads as null (empty text, false or 0).
    QVariant value() const;
    // Writes an edited value into the member: a choice takes its option text. Returns false and
    // changes nothing for a heading, a node without key, a choice text that is no option or a
    // value that is no number where one is needed.
    bool setValue(const QVariant &value);

    QString name() const { return m_name; }
    QString key() const { return m_key; }
    ItemType type() const { return m_type; }
    const QMap<QString, QVariant> &options() const { return m_options; }
    JsNode *parent() const { return m_parent; }
    const QList<JsNode *> &children() const { return m_children; }
    int row() const
    {
        return m_parent ? m_parent->m_children.indexOf(const_cast<JsNode *>(this)) : 0;
    }

    // The object all JSON trees show. GUI thread only.
    static const QJsonObject &jsonObject();
    static void setJsonObject(const QJsonObject &object);

private:
    bool choiceIsBoolean() const;

    QString m_name;
    QString m_key; // empty for headings; a node without key is never editable
    ItemType m_type;
    QMap<QString, QVariant> m_options;
    JsNode *m_parent = nullptr;
    QList<JsNode *> m_children; // owned
    static QJsonObject m_qjo;
};
