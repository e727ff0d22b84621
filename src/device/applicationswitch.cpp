#include "device/applicationswitch.h"

namespace {

constexpr int kFidoGroup = 0x01 | 0x02;
constexpr int kCcidGroup = 0x04 | 0x08 | 0x10;
constexpr int kPivOrPgp = 0x04 | 0x08;
constexpr int kNdef = 0x10;
constexpr int kOtp = 0x20;

constexpr int kTransportOtp = 0x10;
constexpr int kTransportFido = 0x20;
constexpr int kTransportCcid = 0x40;

// `inPlace`: the change can be made without enabling the group's transport first.
int groupCode(int current, int wanted, int group, bool inPlace)
{
    const int cur = current & group;
    const int now = wanted & group;
    if (cur == now)
        return 4;
    if (cur && !now)
        return 1;
    return inPlace ? 2 : 3;
}

} // namespace

ApplicationSwitch ApplicationSwitch::plan(int current, int wanted)
{
    ApplicationSwitch s;
    s.state = groupCode(current, wanted, kFidoGroup, (current & kFidoGroup) != 0) |
              groupCode(current, wanted, kCcidGroup, (current & kPivOrPgp) != 0);
    s.state |= ((current ^ wanted) & kNdef) ? 2 : 4;
    s.state |= ((current ^ wanted) & kOtp) ? 1 : 4;
    if (wanted & kFidoGroup)
        s.transports |= kTransportFido;
    if (wanted & kCcidGroup)
        s.transports |= kTransportCcid;
    if (wanted & kOtp)
        s.transports |= kTransportOtp;
    return s;
}
