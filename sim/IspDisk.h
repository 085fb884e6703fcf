#pragma once

#include <QByteArray>
#include <QString>

namespace sim {

// The controller's program memory as the front-panel computer's USB host sees it while the
// controller runs its ISP boot code: a blank FAT disk holding what is copied onto it. Under the
// board root it is the folder run/powerboard/ispdisk, and while attached:
//   sys/block/sdX/device/vendor "NXP", .../model, sys/block/sdX/removable 1   (made last)
//   dev/sdX              a link to the folder (the mount stand-in mounts such a link)
//   run/media/sdX        mounted read-only by the board's automounter: a link to the folder and
//                        a line "/dev/sdX /run/media/sdX vfat ro 0 0" in proc/mounts
// sdX is the first name from sda on that sys/block does not hold yet.
// The USB host reaches the controller while gpio111 (USB select) is 1 and gpio112 (the switch's
// output enable, active low) is 0, as the maintenance tool drives them.
class IspDisk
{
public:
    static constexpr const char *Vendor = "NXP";
    static constexpr const char *Model = "ISP DISK";

    explicit IspDisk(const QString &root);

    bool routedToController() const;
    bool isAttached() const { return !m_name.isEmpty(); }
    QString name() const { return m_name; }
    QString folder() const { return m_folder; }

    // Empties the folder: ISP mode offers a blank disk.
    void erase();
    // Returns false with a reason when the disk cannot be shown.
    bool attach(QString *error);
    // The device goes away: sysfs first, then the automounter's mount, the link and the node.
    void detach();
    // firmware.bin on the disk; *present tells an empty file from a missing one.
    QByteArray firmware(bool *present) const;

private:
    QString m_root;
    QString m_folder;
    QString m_name; // "sda" while attached
};

} // namespace sim
