#pragma once

#include "platform/BoardPath.h"
#include "platform/SysfsFile.h"
#include "sim/BoardRoot.h"

#include <QTemporaryDir>

// A temporary board root seeded from the simulated board's template (VEK_BOARDROOT_TEMPLATE,
// defined by the test's CMakeLists; link powerboard), the process's root while it lives.
class SeededBoardRoot
{
public:
    SeededBoardRoot()
    {
        m_valid = m_dir.isValid()
            && sim::BoardRoot::prepare(
                m_dir.path(), QStringLiteral(VEK_BOARDROOT_TEMPLATE), &m_error);
        if (m_valid)
            platform::BoardPath::setRoot(m_dir.path());
    }
    ~SeededBoardRoot() { platform::BoardPath::setRoot(QString()); }

    bool isValid() const { return m_valid; }
    QString error() const { return m_error; }
    QString path() const { return m_dir.path(); }

    // The attribute's text as the program reads it, "<none>" when it is missing.
    static QString read(const QString &boardPath)
    {
        QString text;
        return platform::SysfsFile::read(boardPath, &text) == 0 ? text : QStringLiteral("<none>");
    }

private:
    QTemporaryDir m_dir;
    QString m_error;
    bool m_valid = false;
};
