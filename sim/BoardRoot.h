#pragma once

#include <QString>

namespace sim {

// The board's file tree on a desktop: seeded from a template when empty, with the directories
// the simulated devices live in.
class BoardRoot
{
public:
    // Copies template into root when root is missing or empty (".keep" markers are left out),
    // then makes root/dev and root/run. Returns false with a reason on failure.
    static bool prepare(const QString &root, const QString &templateDir, QString *error);
};

} // namespace sim
