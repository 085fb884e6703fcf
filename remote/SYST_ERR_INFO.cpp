#include "remote/SYST_ERR_INFO.h"

#include "remote/ZOSystErrCue.h"

namespace zo4882 {

SYST_ERR_INFO::SYST_ERR_INFO(short code, INTF_TYPE_ENUM intf, const char *header, const char *param)
    : m_code(code)
    , m_intf(intf)
    , m_detail(QString::fromUtf8(header))
{
    const QString parameter = QString::fromUtf8(param);
    if (parameter.isEmpty())
        return;
    if (!m_detail.isEmpty())
        m_detail += QLatin1Char(' ');
    m_detail += parameter;
}

SYST_ERR_INFO::SYST_ERR_INFO(short code, INTF_TYPE_ENUM intf, const QString &detail)
    : m_code(code)
    , m_intf(intf)
    , m_detail(detail)
{ }

QString SYST_ERR_INFO::getFullErrorMessage() const
{
    QString message = s_systErrCue.getMessage(m_code);
    if (!m_detail.isEmpty())
        message += QLatin1Char(';') + m_detail;
    return message;
}

bool SYST_ERR_INFO::operator==(const SYST_ERR_INFO &other) const
{
    return m_code == other.m_code && m_intf == other.m_intf && m_detail == other.m_detail;
}

} // namespace zo4882
