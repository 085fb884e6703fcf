#pragma once

#include "remote/INTF_TYPE_ENUM.h"

#include <QString>

namespace zo4882 {

// One entry of the error queue: SCPI error number, origin and detail text.
class SYST_ERR_INFO
{
public:
    // Longest full text (code's text, ";", detail) an entry gives: what SYST:ERR? may answer.
    static constexpr int MaxFullLength = 255;

    // Code 0, panel, no detail: also what decue() gives for an empty queue.
    SYST_ERR_INFO() = default;
    // Detail = header, then (when param is not empty) a blank if there is a header, then param.
    // Either text may be null; both are UTF-8. A detail keeps at most MaxFullLength characters,
    // and control characters in it (a line feed echoed from a block) become blanks, so that the
    // answer stays on one line.
    SYST_ERR_INFO(short code, INTF_TYPE_ENUM intf, const char *header, const char *param);
    SYST_ERR_INFO(short code, INTF_TYPE_ENUM intf, const QString &detail);

    short code() const { return m_code; }
    INTF_TYPE_ENUM intf() const { return m_intf; }
    const QString &detail() const { return m_detail; }
    bool isEmpty() const { return m_code == 0; }

    // The code's text from s_systErrCue.getMessage(), then ";" and the detail when there is one,
    // the detail cut so that the whole holds at most MaxFullLength characters.
    QString getFullErrorMessage() const;

    bool operator==(const SYST_ERR_INFO &other) const;
    bool operator!=(const SYST_ERR_INFO &other) const { return !(*this == other); }

private:
    void cleanDetail();

    short m_code = 0;
    INTF_TYPE_ENUM m_intf = INTF_PANEL;
    QString m_detail;
};

} // namespace zo4882
