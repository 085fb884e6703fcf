#pragma once

#include <QMutex>

#include <vector>

namespace zostd {

class IValue;

// The registry of value objects by numeric id. One instance, created by the command set before
// its first value; values register themselves on construction and are never removed, so each
// value must outlive the registry's use of it.
class ZOValueManager
{
public:
    ZOValueManager();
    ~ZOValueManager();
    ZOValueManager(const ZOValueManager &) = delete;
    ZOValueManager &operator=(const ZOValueManager &) = delete;

    // The registry in use (the last one constructed), or null before it exists.
    static ZOValueManager *s_pSelf;

    // Inserts after all entries whose id is not greater; start-up only (not locked).
    void registerZoValue(unsigned id, IValue *value);
    // The value with that id (the first registered one if several share it); null for id 0 or
    // an unknown id. Safe from any thread once registration is over.
    IValue *find(unsigned id) const;
    int count() const { return int(m_values.size()); }
    // Room for n entries, so that registering them does not reallocate; start-up only.
    void reserve(int n) { m_values.reserve(size_t(n)); }

    // Serialises value changes: held by the parser for a setting bound to a value id, by the
    // request service for LAN identify, by a device clear for its abort commit. Taken before the
    // engine's locks and the error queue, never after; a holder never waits for another holder.
    QMutex *getMutex() { return &m_mutex; }

private:
    struct Entry
    {
        unsigned id;
        IValue *value;
    };

    std::vector<Entry> m_values; // ascending by id; written during start-up only
    QMutex m_mutex;
};

} // namespace zostd
