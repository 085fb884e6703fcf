#include "gui/toolkit/JsNode.h"

#include <QCoreApplication>
#include <QThread>

QJsonObject JsNode::m_qjo;

namespace {

void assertGuiThread()
{
    Q_ASSERT_X(!QCoreApplication::instance()
            || QThread::currentThread() == QCoreApplication::instance()->thread(),
        "JsNode",
        "the shared JSON object is used in the GUI thread only");
}

} // namespace

JsNode::JsNode(
    const QString &name, const QString &key, ItemType type, const QMap<QString, QVariant> &options)
    : m_name(name)
    , m_key(key)
    , m_type(type)
    , m_options(options)
{ }

JsNode::~JsNode()
{
    qDeleteAll(m_children);
}

JsNode *JsNode::addChild(
    const QString &name, const QString &key, ItemType type, const QMap<QString, QVariant> &options)
{
    auto *child = new JsNode(name, key, type, options);
    child->m_parent = this;
    m_children.append(child);
    return child;
}

const QJsonObject &JsNode::jsonObject()
{
    assertGuiThread();
    return m_qjo;
}

void JsNode::setJsonObject(const QJsonObject &object)
{
    assertGuiThread();
    m_qjo = object;
}

bool JsNode::choiceIsBoolean() const
{
    return !m_options.isEmpty() && m_options.first().userType() == QMetaType::Bool;
}

QVariant JsNode::value() const
{
    const QJsonValue member = jsonObject().value(m_key);
    switch (m_type) {
    case Heading:
        return QString();
    case Text:
    case Ipv4Address:
    case HostName:
    case FreeText:
        return member.toString();
    case Integer:
        return member.toInt();
    case Real:
        return member.toDouble();
    case Choice: {
        const bool boolean = choiceIsBoolean();
        for (auto it = m_options.cbegin(); it != m_options.cend(); ++it) {
            if (boolean ? it.value().toBool() == member.toBool()
                        : it.value().toDouble() == member.toDouble())
                return it.key();
        }
        return QString();
    }
    }
    return QString();
}

bool JsNode::setValue(const QVariant &value)
{
    assertGuiThread();
    if (m_key.isEmpty())
        return false;
    QJsonValue member;
    switch (m_type) {
    case Heading:
        return false;
    case Choice: {
        if (value.userType() != QMetaType::QString || !m_options.contains(value.toString()))
            return false;
        const QVariant option = m_options.value(value.toString());
        member = choiceIsBoolean() ? QJsonValue(option.toBool()) : QJsonValue(option.toInt());
        break;
    }
    case Integer:
    case Real: {
        bool number = false;
        const double real = value.toDouble(&number);
        if (!number)
            return false;
        member = m_type == Integer ? QJsonValue(value.toInt()) : QJsonValue(real);
        break;
    }
    case Text:
    case Ipv4Address:
    case HostName:
    case FreeText:
        member = value.toString();
        break;
    }
    m_qjo.insert(m_key, member);
    return true;
}
