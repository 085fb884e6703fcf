#include "resources/PanelResources.h"

#include <QtGlobal>

// Q_INIT_RESOURCE must not stand inside a namespace.
static bool registerKeyImages()
{
    Q_INIT_RESOURCE(keyimages);
    return true;
}

void PanelResources::init()
{
    static const bool registered = registerKeyImages();
    Q_UNUSED(registered);
}
