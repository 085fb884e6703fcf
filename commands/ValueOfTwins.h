#pragma once

#include "remote/ZOValue_real64_t.h"

// A level that has a twin: the immediate level and its triggered level. createValueObjects()
// links each pair both ways once both exist; the links never change afterwards.
class ValueOfTwins : public zostd::ZOValue_real64_t
{
public:
    explicit ValueOfTwins(unsigned id);

    ValueOfTwins *twin() const { return m_twin; }
    static void linkTwins(ValueOfTwins *immediate, ValueOfTwins *triggered);

private:
    ValueOfTwins *m_twin = nullptr;
};

// The triggered level over an immediate-level class: it cannot be set (-113, nothing changes),
// its limits are its twin's, and its value is read as the immediate level's (inherited).
template <class Immediate> class ValueTriggered : public Immediate
{
public:
    template <typename... Args>
    explicit ValueTriggered(Args &&...args)
        : Immediate(std::forward<Args>(args)...)
    { }

    int setValue(const double &) override { return -113; }
    double getMin() const override
    {
        return this->twin() ? this->twin()->getMin() : Immediate::getMin();
    }
    double getMax() const override
    {
        return this->twin() ? this->twin()->getMax() : Immediate::getMax();
    }
};
