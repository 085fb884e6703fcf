#pragma once

#include <QString>

class QIODevice;

namespace updater {

// Walks the members of a gzip-compressed tar archive without unpacking anything and tells whether
// unpacking it into a folder keeps every file inside that folder. Refused are: absolute member
// names, names with a ".." component, hard links to such names, symbolic links whose target
// (followed through the archive's own links) is absolute or leaves the folder, member types
// other than files, folders, links, devices and FIFOs, bad header checksums, oversized long-name
// records and archives that are cut short or do not decompress.
//
// The archive is streamed: only the member names and link targets are kept in memory.
class ArchiveListing
{
public:
    // Longest long-name or extended-header record taken (bytes).
    static constexpr qint64 MaxRecordSize = 1 << 20;
    // Most members an archive may list.
    static constexpr int MaxMembers = 1 << 20;

    // true when the archive read from gzipped is whole and stays inside the folder it is unpacked
    // into; otherwise false with the reason in *reason.
    static bool isContained(QIODevice *gzipped, QString *reason);
    // The same for a file (a file-system path).
    static bool isContainedFile(const QString &path, QString *reason);
};

} // namespace updater
