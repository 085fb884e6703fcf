#include "gui/toolkit/StatusTiles.h"

#define VEK_TILE(image)                                                                            \
    QStringLiteral("border-image: url(:/resources/image/" image ");\ncolor:rgb(0, 0, 0);")

const QString CC_HStatus = VEK_TILE("CCStatus.png");
const QString CC_MStatus = VEK_TILE("CCStatus_2.png");
const QString CC_LStatus = VEK_TILE("CCStatus_3.png");
const QString CV_HStatus = VEK_TILE("CVStatus.png");
const QString CV_LStatus = VEK_TILE("CVStatus_2.png");
const QString CR_Status = VEK_TILE("CRStatus.png");
const QString CP_Status = VEK_TILE("CPStatus.png");
const QString ARB_Status = VEK_TILE("ARBStatus.png");
const QString OFF_Status;
const QString styleLan = CV_HStatus;
const QString styleLanFault = CC_HStatus;
const QString styleLanStndby = CP_Status;

#undef VEK_TILE
