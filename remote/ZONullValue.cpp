#include "remote/ZONullValue.h"

namespace zostd {

const char ZONullValue::kvtype[] = "NullValue";

ZONullValue::ZONullValue(unsigned id)
    : ZOValueRegisterer(id, this)
    , m_id(id)
{ }

int ZONullValue::commit()
{
    if (m_observer)
        m_observer->onCommit(this);
    return 0;
}

} // namespace zostd
