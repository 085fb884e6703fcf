#pragma once

namespace zostd {

class IValue;

// First base of every value class: puts the value into the registry when it is constructed.
// Without a registry (ZOValueManager not created yet) the value stays unregistered.
class ZOValueRegisterer
{
public:
    ZOValueRegisterer(unsigned id, IValue *value);
};

} // namespace zostd
