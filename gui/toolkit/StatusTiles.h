#pragma once

#include <QString>

// Style sheets of the panel's status tiles: a flat colour image (31 x 15 pixels, drawn by
// vek-keyimages) under black text. The measurement screen's status row and the operation-mode
// tile use them; OFF_Status is the empty style of a tile that shows nothing.
extern const QString CC_HStatus; // red
extern const QString CC_MStatus; // light red
extern const QString CC_LStatus; // pale red
extern const QString CV_HStatus; // green
extern const QString CV_LStatus; // light green
extern const QString CR_Status; // blue
extern const QString CP_Status; // orange
extern const QString ARB_Status; // light grey
extern const QString OFF_Status;
extern const QString styleLan; // as CV_HStatus
extern const QString styleLanFault; // as CC_HStatus
extern const QString styleLanStndby; // as CP_Status
