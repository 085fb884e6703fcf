#pragma once

#include "remote/IValue.h"
#include "remote/ZOValueRegisterer.h"

#include <QMutex>
#include <QVector>

#include <string>

namespace zostd {
class IKeywordBridge;
}

// A list of keywords held as their indexes, in the order given (the signal-output protections).
// The parser and the panel may set and read it at once, so the list has a lock of its own.
class Value_keyword_multi : public zostd::ZOValueRegisterer, public zostd::IValue
{
public:
    // Admits the indexes lowest to highest of bridge (not owned; may be set later by a subclass
    // that is its own bridge, with setKeywordBridge()).
    Value_keyword_multi(
        unsigned id, zostd::IKeywordBridge *bridge, unsigned char lowest, unsigned char highest);
    virtual ~Value_keyword_multi() = default;

    static const char kvtype[];
    unsigned getID() const override { return m_id; }
    // Nothing to apply: setValue() stores at once. Returns 0.
    int commit() override;
    const char *getKvType() const override { return kvtype; }
    // -224 and the old list kept when any index lies outside [lowest, highest]; else stores the
    // list and returns 0.
    virtual int setValue(const QVector<unsigned char> &indexes);
    virtual QVector<unsigned char> getValue() const;
    // The first alias of every index, joined by ","; empty for an empty list.
    virtual std::string toString() const;
    virtual zostd::IKeywordBridge *getKeywordBridge() const { return m_bridge; }

protected:
    void setKeywordBridge(zostd::IKeywordBridge *bridge) { m_bridge = bridge; }
    bool admits(const QVector<unsigned char> &indexes) const;

private:
    const unsigned m_id;
    mutable QMutex m_mutex; // guards m_indexes
    QVector<unsigned char> m_indexes;
    const unsigned char m_lowest;
    const unsigned char m_highest;
    zostd::IKeywordBridge *m_bridge;
};
