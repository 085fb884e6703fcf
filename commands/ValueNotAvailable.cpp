#include "commands/ValueNotAvailable.h"

const char ValueNotAvailable::kvtype[] = "NotAvailable";

ValueNotAvailable::ValueNotAvailable(unsigned id, const char *className)
    : zostd::ZOValueRegisterer(id, this)
    , m_id(id)
    , m_className(className)
{ }

int ValueNotAvailable::commit()
{
    return -200;
}
