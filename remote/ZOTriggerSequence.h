#pragma once

#include "remote/ZO4882Opc.h"

#include <QObject>

namespace zo4882 {

// The abstract trigger sequence of an overlapped operation: initiate, (wait for) trigger,
// complete or abort. Each step emits its signal, connected directly to the matching pure
// virtual slot of the subclass. It also holds the process-wide operation-complete tracker.
class ZOTriggerSequence : public QObject
{
    Q_OBJECT

public:
    static ZO4882Opc &s_opc;

    explicit ZOTriggerSequence(QObject *parent = nullptr);

    // Returns 0 when already initiated, 1 otherwise; without a trigger to wait for the
    // sequence is triggered at once.
    int initiate(bool continuous, bool waitTrigger);
    // Returns the wait-for-trigger flag; only then does the trigger count.
    bool trigger();
    int complete();
    int abort();

    bool isContinuous() const { return m_continuous; }
    bool isWaitingForTrigger() const { return m_waitTrigger; }
    bool isInitiated() const { return m_initiated; }
    bool isTriggered() const { return m_triggered; }
    bool isCompleted() const { return m_completed; }
    bool isAborted() const { return m_aborted; }

Q_SIGNALS:
    void initiated();
    void triggered();
    void aborted();
    void completed();

protected Q_SLOTS:
    virtual void OnInitiate() = 0;
    virtual void OnTrigger() = 0;
    virtual void OnAbort() = 0;
    virtual void OnComplete() = 0;

private:
    bool m_continuous = false;
    bool m_waitTrigger = false;
    bool m_initiated = false;
    bool m_triggered = false;
    bool m_completed = false;
    bool m_aborted = false;
};

} // namespace zo4882
