#pragma once

#include <QString>

// One installable option of the instrument; enabled by its file under /usr/bin/options.
struct CustomOption
{
    QString name;
    QString description;
    bool enabled = false;
};
