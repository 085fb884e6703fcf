#pragma once

#include "commands/ValueKeyword.h"
#include "commands/ValueOfTwins.h"
#include "remote/ZONullValue.h"
#include "remote/ZOValue_bool8_t.h"
#include "remote/ZOValue_int32_t.h"

#include <functional>
#include <utility>

class BoundValue;

// Engine settings: the setting calls the engine in the caller's thread and returns its error
// number unchanged; the query reads the engine. The limits are what MIN and MAX answer; the
// engine applies its own check.

// A real setting. With a range entry, the limits are that entry's minimum and maximum, looked
// up on every use, so they follow the present range from the start; otherwise the fixed limits.
class ValueRealSetting : public ValueOfTwins
{
public:
    using Setter = std::function<int(double)>;
    using Getter = std::function<double()>;
    using Entry = std::function<const BoundValue *()>;

    ValueRealSetting(unsigned id, Setter set, Getter get, Entry entry);
    ValueRealSetting(unsigned id, Setter set, Getter get, double min, double max);

    int setValue(const double &v) override { return m_set(v); }
    double getValue() const override { return m_get(); }
    double getMin() const override;
    double getMax() const override;

private:
    const Setter m_set;
    const Getter m_get;
    const Entry m_entry;
};

// A switch handed to the engine.
class ValueSwitchSetting : public zostd::ZOValue_bool8_t
{
public:
    using Setter = std::function<int(bool)>;
    using Getter = std::function<bool()>;

    ValueSwitchSetting(unsigned id, Setter set, Getter get);

    int setValue(const unsigned char &on) override;
    unsigned char getValue() const override { return m_get() ? 1 : 0; }

private:
    const Setter m_set;
    const Getter m_get;
};

// An integer handed to the engine, without limits of its own.
class ValueIntSetting : public zostd::ZOValue_int32_t
{
public:
    using Setter = std::function<int(int)>;
    using Getter = std::function<int()>;

    ValueIntSetting(unsigned id, Setter set, Getter get);

    int setValue(const int &v) override { return m_set(v); }
    int getValue() const override { return m_get(); }

private:
    const Setter m_set;
    const Getter m_get;
};

// A keyword whose index is handed to the engine (-222 outside the bridge's indexes).
template <class Bridge> class ValueKeywordSetting : public ValueKeyword<Bridge>
{
public:
    using Setter = std::function<int(typename Bridge::values)>;
    using Getter = std::function<unsigned char()>;

    ValueKeywordSetting(unsigned id, Setter set, Getter get)
        : ValueKeyword<Bridge>(id)
        , m_set(std::move(set))
        , m_get(std::move(get))
    { }

    int setValue(const unsigned char &index) override
    {
        if (const int e = this->checkIndex(index))
            return e;
        return m_set(static_cast<typename Bridge::values>(index));
    }
    unsigned char getValue() const override { return m_get(); }

private:
    const Setter m_set;
    const Getter m_get;
};

// An action: commit runs it and returns its result.
class ValueAction : public zostd::ZONullValue
{
public:
    using Action = std::function<int()>;

    ValueAction(unsigned id, Action action);
    int commit() override;

private:
    const Action m_action;
};
