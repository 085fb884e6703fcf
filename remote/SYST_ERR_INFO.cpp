#include "remote/SYST_ERR_INFO.h"

#include "remote/ZOSystErrCue.h"

namespace zo4882 {

SYST_ERR_INFO::SYST_ERR_INFO(short code, INTF_TYPE_ENUM intf, const char *header, const char *param)
    : m_code(code)
    , m_intf(intf)
    , m_detail(QString::fromUtf8(header))
{
    const QString parameter = QString::fromUtf8(param);
    if (!parameter.isEmpty()) {
        if (!m_detail.isEmpty())
            m_detail += QLatin1Char(' ');
        m_detail += parameter;
    }
    cleanDetail();
}

SYST_ERR_INFO::SYST_ERR_INFO(short code, INTF_TYPE_ENUM intf, const QString &detail)
    : m_code(code)
    , m_intf(intf)
    , m_detail(detail)
{
    cleanDetail();
}

QString SYST_ERR_INFO::getFullErrorMessage() const
{
    QString message = s_systErrCue.getMessage(m_code);
    const int room = MaxFullLength - message.size() - 1;
    if (!m_detail.isEmpty() && room > 0)
        message += QLatin1Char(';') + m_detail.left(room);
    return message;
}

void SYST_ERR_INFO::cleanDetail()
{
    m_detail.truncate(MaxFullLength);
    for (QChar &c : m_detail) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7f)
            c = QLatin1Char(' ');
    }
}

bool SYST_ERR_INFO::operator==(const SYST_ERR_INFO &other) const
{
    return m_code == other.m_code && m_intf == other.m_intf && m_detail == other.m_detail;
}

} // namespace zo4882
