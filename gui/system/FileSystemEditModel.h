#pragma once

#include <QFileSystemModel>
#include <QStringList>

// The file model of the panel's storage lists: the tree of /run/media (USB sticks mounted
// read-only, one folder per device named after its node, and the link "setups" to the internal
// setup store), showing folders and the files of one suffix; others are hidden, not greyed.
// Column 0 is renamed in place. Paths given to and taken from the model are the model's own
// (under a board root, mapped); the USB rule looks at their board paths.
//
// A stick is made writable for one write: remountWritableIfNeeded() before it,
// remountReadonlyIfNeeded() after it (umount, then a fresh read-only mount of the device).
// GUI thread only; the mount programs block the event loop while they run.
class FileSystemEditModel : public QFileSystemModel
{
    Q_OBJECT

public:
    // Error of a failed remount, write or rename on a medium.
    static constexpr short MediaError = -310;

    // suffix without the dot, e.g. "csv"
    FileSystemEditModel(QObject *parent, const QString &suffix);

    // Renames the file or folder of a column-0 index within its folder (a stick is made
    // writable for it). False for any other index, for a name that is empty, ".", "..", or
    // holds "/", ":" or a control character, for the media root, the setups link and a mount
    // point, when the stick cannot be made writable, and when the rename fails (an existing
    // name included).
    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;
    // Selectable, enabled and, in column 0, editable; nothing for an invalid index.
    Qt::ItemFlags flags(const QModelIndex &index) const override;

    // The path lies on an existing mount point under /run/media other than "setups" (the
    // mount point itself included).
    bool validateUSBStorage(const QString &path) const;
    // For a path on a stick: mount -o remount,rw <mount point>. 0 when done or not needed,
    // MediaError when mount failed.
    short remountWritableIfNeeded(const QString &path) const;
    // For a path on a stick: umount <mount point>, then mount -r -t auto <device> <mount
    // point>. 0 when done or not needed, MediaError when either failed.
    short remountReadonlyIfNeeded(const QString &path) const;

    // Board path of /run/media's component 2 of path ("sda1", "setups"), empty when the path
    // is not below /run/media.
    static QString mediaName(const QString &path);

private:
    QStringList m_suffixes; // without dots
};
