#include "tests/support/SettingsTreeFixture.h"

SettingsTreeFixture::SettingsTreeFixture()
    : keyword(KeywordId, nullptr)
    , boolean(SwitchId)
    , list(ListId, nullptr, 0, 0xFF)
    , fixed(FixedId)
    , count(CountId)
    , real(RealId)
    , aperture(ApertureId)
{
    keyword.setLimits(0, 2);
    keyword.setRangeCheck(true);
    fixed.setEngExponent(-3);
    fixed.setLimits(0, 10000);
    fixed.setRangeCheck(true);
    fixed.setValue(1500);
    count.setLimits(0, 100);
    count.setRangeCheck(true);
    real.setLimits(0, 10);
    real.setRangeCheck(true);
    real.setValue(2.5);
    aperture.setLimits(0, 10);
    aperture.setRangeCheck(true);
    aperture.setValue(0.002);

    auto *root = new ZONode(QStringLiteral("root"));
    source = root->addChild(QStringLiteral("Source"), 0, ZONode::Heading);
    mode = source->addChild(QStringLiteral("Mode"),
        KeywordId,
        ZONode::Choice,
        { { "0: Manual", 0 }, { "1: Auto", 1 }, { "2: Ext", 2 } });
    switchRow = source->addChild(
        QStringLiteral("Switch"), SwitchId, ZONode::Choice, { { "0: Off", 0 }, { "1: On", 1 } });
    protections = source->addChild(QStringLiteral("Protections"),
        ListId,
        ZONode::Choice,
        { { "T2", 2 }, { "T5", 5 }, { "T7", 7 } });
    trigger = source->addChild(QStringLiteral("Trigger"), 0, ZONode::Heading);
    delay = trigger->addChild(QStringLiteral("Delay"), FixedId, ZONode::Real);
    countRow = trigger->addChild(QStringLiteral("Count"),
        CountId,
        ZONode::Integer,
        { { "MinValue", 0 }, { "SpecialValueText", "Off" } });
    level = root->addChild(QStringLiteral("Level"),
        RealId,
        ZONode::Real,
        { { "DecimalsValue", 3 }, { "SingleStepValue", 0.001 } });
    apertureRow = root->addChild(QStringLiteral("Aperture"),
        ApertureId,
        ZONode::RealSiPrefix,
        { { "DecimalsValue", 3 }, { "SingleStepValue", 0.001 } });
    missing = root->addChild(QStringLiteral("Missing"), UnknownId, ZONode::Integer);
    model = std::make_unique<ZOValueModel>(root);
}

QModelIndex SettingsTreeFixture::nameCell(const ZONode *node) const
{
    if (!node->parent())
        return {};
    return model->index(node->row(), 0, nameCell(node->parent()));
}

QModelIndex SettingsTreeFixture::valueCell(const ZONode *node) const
{
    return nameCell(node).siblingAtColumn(1);
}

bool SettingsTreeFixture::editable(const ZONode *node) const
{
    return model->flags(valueCell(node)) & Qt::ItemIsEditable;
}
