#include "resources/PanelResources.h"

#include <QtGlobal>

// Q_INIT_RESOURCE must not stand inside a namespace.
static bool registerImages()
{
    Q_INIT_RESOURCE(keyimages);
    Q_INIT_RESOURCE(images);
    return true;
}

void PanelResources::init()
{
    static const bool registered = registerImages();
    Q_UNUSED(registered);
}
