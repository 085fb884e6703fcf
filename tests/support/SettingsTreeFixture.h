#pragma once

#include "commands/Value_keyword_multi.h"
#include "gui/toolkit/ZOValueModel.h"
#include "remote/ZOValueManager.h"
#include "remote/ZOValue_bool8_t.h"
#include "remote/ZOValue_int32_t_engX.h"
#include "remote/ZOValue_keyword.h"
#include "remote/ZOValue_real64_t.h"

#include <memory>

// A registry of its own with one real value object of every kind the settings tree knows, and
// a tree over them (ids 10 to 16; 99 names no value):
//   Source (heading)
//     Mode         choice  -> keyword 0..2      "0: Manual", "1: Auto", "2: Ext"
//     Switch       choice  -> bool8_t           "0: Off", "1: On"
//     Protections  choice  -> keyword list      "T2", "T5", "T7" (bytes 2, 5, 7)
//     Trigger (heading)
//       Delay      real    -> int32_t_engX, exponent -3, 0..10000 (0..10 s), 1500
//       Count      integer -> int32_t 0..100, "Off" at the minimum 0
//   Level          real    -> real64_t 0..10, 3 decimals, step 0.001, 2.5
//   Aperture       real with SI prefix -> real64_t 0..10, 3 decimals, 0.002
//   Missing        integer -> id 99
// The registry is the process's current one while the fixture lives.
class SettingsTreeFixture
{
public:
    enum Id : unsigned {
        SwitchId = 10,
        KeywordId,
        ListId,
        FixedId,
        CountId,
        RealId,
        ApertureId,
        UnknownId = 99,
    };

    SettingsTreeFixture();

    // The Value cell of a node in the tree.
    QModelIndex valueCell(const ZONode *node) const;
    QVariant shown(const ZONode *node) const { return model->data(valueCell(node)); }
    bool editable(const ZONode *node) const;

    zostd::ZOValueManager registry; // first: the values register in it
    zostd::ZOValue_keyword keyword;
    zostd::ZOValue_bool8_t boolean;
    Value_keyword_multi list;
    zostd::ZOValue_int32_t_engX fixed;
    zostd::ZOValue_int32_t count;
    zostd::ZOValue_real64_t real;
    zostd::ZOValue_real64_t aperture;

    ZONode *source, *mode, *switchRow, *protections, *trigger, *delay, *countRow, *level,
        *apertureRow, *missing;
    std::unique_ptr<ZOValueModel> model;

private:
    QModelIndex nameCell(const ZONode *node) const;
};
