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

int fidoCode(int current, int wanted)
{
    const int cur = current & kFidoGroup;
    const int now = wanted & kFidoGroup;
    if (cur == now)
        return 4;
    if (cur && !now)
        return 1;
    return cur ? 2 : 3;
}

int ccidCode(int current, int wanted)
{
    const int cur = current & kCcidGroup;
    const int now = wanted & kCcidGroup;
    if (cur == now)
        return 4;
    if (cur && !now)
        return 1;
    return (current & kPivOrPgp) ? 2 : 3;
}

} // namespace

ApplicationSwitch ApplicationSwitch::plan(int current, int wanted)
{
    ApplicationSwitch s;
    s.state = fidoCode(current, wanted) | ccidCode(current, wanted);
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
