#pragma once

#include "gui/toolkit/JsonModel.h"

#include <memory>

// An interface page's JSON tree, filled with a typical object:
//   LAN (heading)
//     DHCP       choice  dhcp         "Off" -> false, "On" -> true          true
//     Address    ipv4    ip                                                 "192.168.0.5"
//     Host       host    hostname                                           "load-1"
//     Port       integer port         1024 .. 65535                         5025
//   Setup (heading)
//     Beeper     choice  beep         "0: Quiet", "1: Normal", "2: Loud"    1
//     Gain       real    gain         0 .. 10, 2 decimals, step 0.01        1.25
//     Note       text    note                                               7 (not a text)
//     Label      free    label                                              "bench 3"
//     Modified   text    date:modify                                        "2026-12-10 19:00"
class JsonTreeFixture
{
public:
    JsonTreeFixture();

    QModelIndex valueCell(const JsNode *node) const;
    QVariant shown(const JsNode *node) const { return model->data(valueCell(node)); }
    bool editable(const JsNode *node) const;

    static QJsonObject typicalObject();

    JsNode *lan, *dhcp, *address, *host, *port, *setup, *beeper, *gain, *note, *label, *modified;
    std::unique_ptr<JsonModel> model;
};
