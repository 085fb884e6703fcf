#pragma once

#include <QString>

namespace sim {

// The board's file tree on a desktop: seeded from a template when empty, with the directories
// the simulated devices live in.
class BoardRoot
{
public:
    // Board paths of programs that run as the host's own under a board root (see
    // platform/ChildProcess.h); the other programs are stand-in scripts from the template.
    static const char *const HostTools[];

    // Copies template into root when root is missing or empty (".keep" markers are left out),
    // then makes root/dev and root/run, the encoder's FIFO (InputDevice) and links the harmless
    // host tools the board's programs may run (HostTools) where they are missing. Returns false
    // with a reason on failure.
    static bool prepare(const QString &root, const QString &templateDir, QString *error);
};

} // namespace sim
