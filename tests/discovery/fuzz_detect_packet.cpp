// libFuzzer: any datagram through the reply path of the codec.
#include <cstddef>
#include <cstdint>

#include "xrdetect_packet.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    DetectPacket packet = {};
    int length = size > 4096 ? 4096 : int(size);
    if (UnpackFromBuf(data, length, &packet) == 0)
        CheckReplyPacket(&packet);
    return 0;
}
