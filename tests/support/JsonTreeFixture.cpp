#include "tests/support/JsonTreeFixture.h"

#include <QJsonDocument>

JsonTreeFixture::JsonTreeFixture()
{
    auto *root = new JsNode(QStringLiteral("root"));
    lan = root->addChild(QStringLiteral("LAN"), QString(), JsNode::Heading);
    dhcp = lan->addChild(QStringLiteral("DHCP"),
        QStringLiteral("dhcp"),
        JsNode::Choice,
        { { "On", true }, { "Off", false } });
    address = lan->addChild(QStringLiteral("Address"), QStringLiteral("ip"), JsNode::Ipv4Address);
    host = lan->addChild(QStringLiteral("Host"), QStringLiteral("hostname"), JsNode::HostName);
    port = lan->addChild(QStringLiteral("Port"),
        QStringLiteral("port"),
        JsNode::Integer,
        { { "MinValue", 1024 }, { "MaxValue", 65535 } });
    setup = root->addChild(QStringLiteral("Setup"), QString(), JsNode::Heading);
    beeper = setup->addChild(QStringLiteral("Beeper"),
        QStringLiteral("beep"),
        JsNode::Choice,
        { { "0: Quiet", 0 }, { "1: Normal", 1 }, { "2: Loud", 2 } });
    gain = setup->addChild(QStringLiteral("Gain"),
        QStringLiteral("gain"),
        JsNode::Real,
        { { "MinValue", 0 },
            { "MaxValue", 10 },
            { "DecimalsValue", 2 },
            { "SingleStepValue", 0.01 } });
    note = setup->addChild(QStringLiteral("Note"), QStringLiteral("note"), JsNode::Text);
    label = setup->addChild(QStringLiteral("Label"), QStringLiteral("label"), JsNode::FreeText);
    modified =
        setup->addChild(QStringLiteral("Modified"), QStringLiteral("date:modify"), JsNode::Text);
    model = std::make_unique<JsonModel>(root);
    model->setJsonObject(typicalObject());
}

QJsonObject JsonTreeFixture::typicalObject()
{
    return QJsonDocument::fromJson(R"({"dhcp": true, "ip": "192.168.0.5", "hostname": "load-1",
        "port": 5025, "beep": 1, "gain": 1.25, "note": 7, "label": "bench 3",
        "date:modify": "2026-12-10 19:00"})")
        .object();
}

QModelIndex JsonTreeFixture::valueCell(const JsNode *node) const
{
    const JsNode *parent = node->parent();
    const QModelIndex parentIndex =
        parent->parent() ? model->index(parent->row(), 0) : QModelIndex();
    return model->index(node->row(), 1, parentIndex);
}

bool JsonTreeFixture::editable(const JsNode *node) const
{
    return model->flags(valueCell(node)) & Qt::ItemIsEditable;
}
