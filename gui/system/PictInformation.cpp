#include "gui/system/PictInformation.h"

PictInformation::PictInformation(const ModelInformation *info, QWidget *parent)
    : QWidget(parent)
    , StandIn(this, "PictInformation")
    , m_info(info)
{ }
