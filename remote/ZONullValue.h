#pragma once

#include "remote/IValue.h"
#include "remote/IValueObserver.h"
#include "remote/ZOValueRegisterer.h"

namespace zostd {

// An action without data (abort, initiate, trigger): the command set's classes act in commit().
class ZONullValue : public ZOValueRegisterer, public IValue
{
public:
    explicit ZONullValue(unsigned id);
    virtual ~ZONullValue() = default;

    static const char kvtype[];
    unsigned getID() const override { return m_id; }
    // The base action only tells the observer; returns 0.
    int commit() override;
    const char *getKvType() const override { return kvtype; }

    void setObserver(IValueObserver *observer) { m_observer = observer; }

protected:
    unsigned m_id;
    IValueObserver *m_observer = nullptr;
};

} // namespace zostd
