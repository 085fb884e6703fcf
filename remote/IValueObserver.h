#pragma once

namespace zostd {

class IValue;

// Told after every commit of the values it is attached to, in the committing thread.
class IValueObserver
{
public:
    virtual void onCommit(IValue *value) = 0;

protected:
    ~IValueObserver() = default;
};

} // namespace zostd
