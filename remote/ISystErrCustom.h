#pragma once

#include <QString>

namespace zo4882 {

class SYST_ERR_INFO;

// The instrument's hook on the error queue, installed once at start-up and never removed.
// All calls come without the queue's mutex held, in the thread that queued or took the error,
// so an implementation may read the queue (count(), snapshot()) but should only post work.
class ISystErrCustom
{
public:
    virtual void OnQueue(const SYST_ERR_INFO &error) = 0;
    virtual void OnDequeue(const SYST_ERR_INFO &error) = 0;
    // The queue was emptied at once (*CLS, or the panel's error list cleared it).
    virtual void OnEmpty() = 0;
    // Text of an instrument error number (101 to 313); empty when the code is unknown.
    virtual QString getMessage(short code) const = 0;

protected:
    ~ISystErrCustom() = default;
};

} // namespace zo4882
