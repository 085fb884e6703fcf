#pragma once

#include <QByteArray>
#include <QString>

namespace updater {

// A check list in md5sum's format ("<32 hex digits>  <name>" or "<hex> *<name>", one entry a
// line) as an update medium carries it beside its image. The tool accepts only a list of exactly
// one entry naming the image it expects, and computes and compares the image's MD5 itself.
class CheckList
{
public:
    static constexpr qint64 MaxListSize = 64 * 1024; // a longer file is no check list of ours

    // The one entry of text: its file name and its digest (16 bytes). false with a reason when
    // the text is not a list of exactly one well-formed entry.
    static bool parse(const QByteArray &text, QString *name, QByteArray *digest, QString *reason);

    // Reads the list listName in the folder dir (file-system paths), requires its entry to name
    // file, and compares the MD5 of dir/file with it. true when the image is intact.
    static bool verify(
        const QString &dir, const QString &listName, const QString &file, QString *reason);
};

} // namespace updater
