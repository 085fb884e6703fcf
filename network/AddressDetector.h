#pragma once

class NetworkInfo;
namespace platform {
class NetLink;
}

// Notices that the addresses of the LAN interface changed, comparing them with the status
// record's entry list and storing the new list there when they differ (order aside).
class AddressDetector
{
public:
    // link: the interface whose entries are compared; both outlive the detector.
    AddressDetector(NetworkInfo *info, platform::NetLink *link);
    // True when the interface's entries differ from the record's, which now holds them.
    bool detect();

private:
    NetworkInfo *m_info;
    platform::NetLink *m_link;
};
