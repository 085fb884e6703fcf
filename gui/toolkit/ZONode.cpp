#include "gui/toolkit/ZONode.h"

#include "commands/Value_keyword_multi.h"
#include "gui/toolkit/zoMessageBox.h"
#include "remote/ZOValueManager.h"
#include "remote/ZOValue_int32_t_engX.h"

#include <climits>
#include <cmath>
#include <cstring>

namespace {

bool hasTag(const zostd::IValue *value, const char *tag)
{
    return std::strcmp(value->getKvType(), tag) == 0;
}

bool sameNumber(const QVariant &a, const QVariant &b)
{
    bool okA = false;
    bool okB = false;
    const double x = a.toDouble(&okA);
    const double y = b.toDouble(&okB);
    return okA && okB ? x == y : a == b;
}

double powerOfTen(int exponent)
{
    return std::pow(10.0, exponent);
}

// The integer of a fixed-point value, truncated toward zero; a quotient within rounding noise of
// an integer is that integer (2.001 / 1e-3 comes out as 2000.9999999999998).
bool fixedPoint(double real, int exponent, int *result)
{
    double q = real / powerOfTen(exponent);
    const double nearest = std::round(q);
    if (std::fabs(q - nearest) <= 1e-9 * std::max(1.0, std::fabs(q)))
        q = nearest;
    q = std::trunc(q);
    if (!(q >= INT_MIN && q <= INT_MAX))
        return false;
    *result = int(q);
    return true;
}

} // namespace

ZONode::ZONode(const QString &name,
    unsigned valueId,
    ItemType type,
    const QMap<QString, QVariant> &options,
    ZONode *parent)
    : m_name(name)
    , m_valueId(valueId)
    , m_type(type)
    , m_options(options)
    , m_parent(parent)
{
    if (m_parent)
        m_parent->m_children.append(this);
}

ZONode::~ZONode()
{
    qDeleteAll(m_children);
}

ZONode *ZONode::addChild(
    const QString &name, unsigned valueId, ItemType type, const QMap<QString, QVariant> &options)
{
    return new ZONode(name, valueId, type, options, this);
}

ZONode *ZONode::takeChild(int row)
{
    ZONode *child = m_children.takeAt(row);
    child->m_parent = nullptr;
    return child;
}

zostd::IValue *ZONode::boundValue() const
{
    const zostd::ZOValueManager *registry = zostd::ZOValueManager::s_pSelf;
    return registry ? registry->find(m_valueId) : nullptr;
}

QString ZONode::iValueType() const
{
    const zostd::IValue *value = boundValue();
    return value ? QString::fromLatin1(value->getKvType()) : QString();
}

QVariant ZONode::rawValue(zostd::IValue *value) const
{
    using namespace zostd;
    if (hasTag(value, "keyword") || hasTag(value, "bool8_t")) {
        if (auto *v = dynamic_cast<ZOValue<unsigned char> *>(value))
            return int(v->getValue());
    } else if (hasTag(value, "keyword_multi")) {
        if (auto *v = dynamic_cast<Value_keyword_multi *>(value))
            return QVariant::fromValue(v->getValue());
    } else if (hasTag(value, "int32_t")) {
        if (auto *v = dynamic_cast<ZOValue<int> *>(value)) {
            const QString special = m_options.value(QStringLiteral("SpecialValueText")).toString();
            const QVector<QVariant> limits = valueMinMax();
            const QVariant minimum = m_options.value(
                QStringLiteral("MinValue"), limits.isEmpty() ? QVariant() : limits.first());
            if (!special.isEmpty() && minimum.isValid() && v->getValue() == minimum.toInt())
                return special;
            return v->getValue();
        }
    } else if (hasTag(value, "int32_t_engX")) {
        if (auto *v = dynamic_cast<ZOValue_int32_t_engX *>(value))
            return v->getValue() * powerOfTen(v->engExponent());
    } else if (hasTag(value, "real64_t")) {
        if (auto *v = dynamic_cast<ZOValue<double> *>(value))
            return v->getValue();
    }
    return QVariant();
}

QString ZONode::choiceText(const QVariant &raw) const
{
    if (m_options.isEmpty())
        return QString();
    const auto keyOf = [this](const QVariant &wanted) {
        for (auto it = m_options.cbegin(); it != m_options.cend(); ++it) {
            if (sameNumber(it.value(), wanted))
                return it.key();
        }
        return QString();
    };
    QString text;
    if (raw.userType() == qMetaTypeId<QVector<unsigned char>>()) {
        for (unsigned char byte : raw.value<QVector<unsigned char>>()) {
            const QString key = keyOf(int(byte));
            if (!text.isEmpty() && !key.isEmpty())
                text += QStringLiteral(" | ");
            text += key;
        }
    } else {
        text = keyOf(raw);
    }
    return text.isEmpty() ? m_options.firstKey() : text;
}

QVariant ZONode::value() const
{
    zostd::IValue *bound = boundValue();
    if (!bound)
        return QVariant();
    const QVariant raw = rawValue(bound);
    switch (m_type) {
    case Choice:
        return choiceText(raw);
    case Integer:
    case Real:
    case RealSiPrefix:
        return raw;
    case Heading:
        break;
    }
    return QVariant();
}

bool ZONode::setValue(const QVariant &value)
{
    zostd::IValue *bound = boundValue();
    if (!bound)
        return false;
    QVariant written = value;
    if (m_type == Choice && value.userType() == QMetaType::QString)
        written = m_options.value(value.toString());
    bool isInt = false;
    bool isDouble = false;
    const int asInt = written.toInt(&isInt);
    const double asDouble = written.toDouble(&isDouble);
    if (!isInt || !isDouble)
        return false;

    const int result = write(bound, asInt, asDouble);
    if (result != 0) {
        zoMessageBox box(short(result), nullptr, false);
        box.exec();
    }
    return result == 0;
}

int ZONode::write(zostd::IValue *value, int asInt, double asDouble) const
{
    using namespace zostd;
    if (hasTag(value, "keyword") || hasTag(value, "bool8_t")) {
        if (auto *v = dynamic_cast<ZOValue<unsigned char> *>(value))
            return v->setValue(static_cast<unsigned char>(asInt & 0xFF));
    } else if (hasTag(value, "keyword_multi")) {
        if (auto *v = dynamic_cast<Value_keyword_multi *>(value))
            return v->setValue({ static_cast<unsigned char>(0x80 | asInt) });
    } else if (hasTag(value, "int32_t")) {
        if (auto *v = dynamic_cast<ZOValue<int> *>(value))
            return v->setValue(asInt);
    } else if (hasTag(value, "int32_t_engX")) {
        if (auto *v = dynamic_cast<ZOValue_int32_t_engX *>(value)) {
            int fixed = 0;
            if (!fixedPoint(asDouble, v->engExponent(), &fixed))
                return -222; // beyond any 32-bit setting: "Data out of range"
            return v->setValue(fixed);
        }
    } else if (hasTag(value, "real64_t")) {
        if (auto *v = dynamic_cast<ZOValue<double> *>(value))
            return v->setValue(asDouble);
    }
    return 0;
}

QVector<QVariant> ZONode::valueMinMax() const
{
    using namespace zostd;
    IValue *value = boundValue();
    if (!value)
        return {};
    if (hasTag(value, "int32_t")) {
        if (auto *v = dynamic_cast<ZOValue<int> *>(value))
            return { v->getMin(), v->getMax() };
    } else if (hasTag(value, "int32_t_engX")) {
        if (auto *v = dynamic_cast<ZOValue_int32_t_engX *>(value)) {
            const double scale = powerOfTen(v->engExponent());
            return { v->getMin() * scale, v->getMax() * scale };
        }
    } else if (hasTag(value, "real64_t")) {
        if (auto *v = dynamic_cast<ZOValue<double> *>(value))
            return { v->getMin(), v->getMax() };
    }
    return {};
}
