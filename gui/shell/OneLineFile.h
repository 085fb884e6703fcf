#pragma once

#include <QString>

// The first line of a small text file (the model name in "/etc/model", the administrator
// password file), read each time the object is converted. The path is used as given: the
// caller maps board paths.
class OneLineFile
{
public:
    explicit OneLineFile(const QString &path)
        : m_path(path)
    { }

    // The first line (at most 255 bytes, cut at a NUL byte), as Latin-1 and trimmed; empty
    // when the file cannot be opened.
    operator QString() const;

private:
    QString m_path;
};
