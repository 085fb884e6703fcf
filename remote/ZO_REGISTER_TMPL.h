#pragma once

#include <QMutex>
#include <QtGlobal>

namespace zo4882 {

// One IEEE 488.2 / SCPI status register: condition, transition filters, event and enable.
// T is unsigned char (status byte, standard event status) or short (STATus registers).
// Lock order of the remote library: error queue mutex, then register mutexes. A register holds
// its own mutex only for its own fields; parents are told after release, never nested.
template <typename T> class ZO_REGISTER_TMPL
{
public:
    // summary: low 16 bits the bit this register sets in its parent; top byte the number of an
    // instrument-summary register. The power-on values: mask = valid, enable 0, PTR = valid, NTR 0.
    ZO_REGISTER_TMPL(quint32 summary, T valid)
        : m_summary(summary)
        , m_initialMask(valid)
        , m_validMask(valid)
        , m_ptr(valid)
    { }
    virtual ~ZO_REGISTER_TMPL() = default;

    // Sets (set != 0) or clears condition bits; returns the newly latched events that are
    // enabled. Subclasses tell their parent after the mutex is released.
    virtual T setCondition(T bits, int set) { return applyCondition(bits, set); }
    // Returns the event register and clears it.
    virtual T getEvent() { return takeEvent(); }
    // Store v masked with the valid-bit mask; 1 when the stored value changed, else 0.
    virtual int setEnabler(T v) { return store(m_enable, v); }
    virtual int setPtr(T v) { return store(m_ptr, v); }
    virtual int setNtr(T v) { return store(m_ntr, v); }

    T condition() const { return read(m_condition); }
    // The event register without clearing it.
    T peekEvent() const { return read(m_event); }
    T enabler() const { return read(m_enable); }
    T ptr() const { return read(m_ptr); }
    T ntr() const { return read(m_ntr); }
    T validMask() const { return read(m_validMask); }
    quint32 summary() const { return m_summary; }

    // The start-up narrows the valid bits of the STATus registers (0x7FFF).
    void setValidMask(T mask)
    {
        QMutexLocker lock(&m_mutex);
        m_validMask = mask;
    }
    // STATus:PRESet values: enable 0, PTR = valid mask, NTR 0; condition and event kept.
    void preset()
    {
        QMutexLocker lock(&m_mutex);
        m_enable = 0;
        m_ptr = m_validMask;
        m_ntr = 0;
    }
    void clearEvent()
    {
        QMutexLocker lock(&m_mutex);
        m_event = 0;
    }
    // *CLS: condition 0 without passing the transition filters, so no event is latched.
    virtual void resetCondition()
    {
        QMutexLocker lock(&m_mutex);
        m_condition = 0;
    }
    // Everything as at power-on, without telling any parent.
    void powerOn()
    {
        QMutexLocker lock(&m_mutex);
        m_validMask = m_initialMask;
        m_condition = 0;
        m_event = 0;
        m_enable = 0;
        m_ptr = m_initialMask;
        m_ntr = 0;
    }

protected:
    // The shared step: rising bits through PTR, falling bits through NTR, ORed into the event.
    T applyCondition(T bits, int set)
    {
        QMutexLocker lock(&m_mutex);
        T transitions = 0;
        if (set) {
            const T rising = T(bits & ~m_condition);
            if (rising == 0)
                return 0;
            transitions = T(rising & m_ptr);
            m_condition = T(m_condition | bits);
        } else {
            const T falling = T(bits & m_condition);
            if (falling == 0)
                return 0;
            transitions = T(falling & m_ntr);
            m_condition = T(m_condition & ~bits);
        }
        m_event = T(m_event | transitions);
        return T(transitions & m_enable);
    }
    T takeEvent()
    {
        QMutexLocker lock(&m_mutex);
        const T event = m_event;
        m_event = 0;
        return event;
    }

private:
    int store(T &field, T v)
    {
        QMutexLocker lock(&m_mutex);
        const T masked = T(v & m_validMask);
        if (field == masked)
            return 0;
        field = masked;
        return 1;
    }
    T read(const T &field) const
    {
        QMutexLocker lock(&m_mutex);
        return field;
    }

    const quint32 m_summary;
    const T m_initialMask;
    mutable QMutex m_mutex; // guards every field below
    T m_validMask;
    T m_condition = 0;
    T m_event = 0;
    T m_enable = 0;
    T m_ptr;
    T m_ntr = 0;
};

} // namespace zo4882
