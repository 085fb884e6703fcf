#pragma once

namespace zostd {

// A remotely settable parameter or a remote action, found by numeric id in the registry.
// Not owned through this interface: values live as long as the program.
class IValue
{
public:
    virtual unsigned getID() const = 0;
    // Applies the pending setting or performs the action; 0 or an SCPI error number.
    virtual int commit() = 0;
    // Type tag: a pointer to the class's constant kvtype text; compare the pointer, not the text.
    virtual const char *getKvType() const = 0;

protected:
    ~IValue() = default;
};

} // namespace zostd
