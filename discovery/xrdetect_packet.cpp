#include "xrdetect_packet.h"

#include <stdarg.h>
#include <string.h>

#include "nt/nt_log.h"

namespace {

// Field by field, so that a short buffer holds (or yields) exactly the whole fields that fit.
struct Writer {
    unsigned char *data;
    int size;
    int at;

    bool Put(const void *field, int length)
    {
        if (size - at < length)
            return false;
        memcpy(data + at, field, length);
        at += length;
        return true;
    }
};

struct Reader {
    const unsigned char *data;
    int length;
    int at;

    bool Take(void *field, int size)
    {
        if (length - at < size)
            return false;
        memcpy(field, data + at, size);
        at += size;
        return true;
    }

    bool TakeAddress(DetectInAddr *address)
    {
        address->family = DETECT_FAMILY_INET;
        address->port = 0;
        return Take(address->address, sizeof address->address);
    }
};

const char kCheckRoutine[] = "CheckReplyPacket";

}  // namespace

int PackToBuf(unsigned char *buffer, int size, const DetectPacket *packet)
{
    const uint8_t id[2] = {uint8_t(packet->id >> 8), uint8_t(packet->id)};
    // The SOCKS port travels little-endian, unlike every other field.
    const uint8_t socksPort[2] = {uint8_t(packet->destinationPort),
                                  uint8_t(packet->destinationPort >> 8)};
    const uint8_t stamp[4] = {uint8_t(packet->timeStamp >> 24), uint8_t(packet->timeStamp >> 16),
                              uint8_t(packet->timeStamp >> 8), uint8_t(packet->timeStamp)};
    Writer out = {buffer, size, 0};
    bool whole = out.Put(&packet->version, 1) && out.Put(id, 2) &&
                 out.Put(packet->source.address, 4) && out.Put(&packet->sourcePort, 2) &&
                 out.Put(packet->destination.address, 4) && out.Put(socksPort, 2) &&
                 out.Put(stamp, 4) && out.Put(packet->tag, sizeof packet->tag);
    return whole ? out.at : -1;
}

int UnpackFromBuf(const unsigned char *buffer, int length, DetectPacket *packet)
{
    uint8_t id[2];
    uint8_t socksPort[2];
    uint8_t stamp[4];
    Reader in = {buffer, length, 0};
    if (!in.Take(&packet->version, 1) || !in.Take(id, 2))
        return -1;
    packet->id = uint16_t(id[0] << 8 | id[1]);
    if (!in.TakeAddress(&packet->source) || !in.Take(&packet->sourcePort, 2) ||
        !in.TakeAddress(&packet->destination) || !in.Take(socksPort, 2))
        return -1;
    packet->destinationPort = uint16_t(socksPort[0] | socksPort[1] << 8);
    if (!in.Take(stamp, 4))
        return -1;
    packet->timeStamp = uint32_t(stamp[0]) << 24 | uint32_t(stamp[1]) << 16 |
                        uint32_t(stamp[2]) << 8 | stamp[3];
    return in.Take(packet->tag, sizeof packet->tag) ? 0 : -1;
}

int CheckReplyPacket(const DetectPacket *packet)
{
    if (!packet)
        return 0;
    if (packet->version != DETECT_VERSION) {
        DetectLogError(kCheckRoutine, "Version mismatch", packet->version);
        return 0;
    }
    if (packet->id != 0) {
        DetectLogError(kCheckRoutine, "Bad ID", int16_t(packet->id));
        return 0;
    }
    return 1;
}

void DetectLog(int32_t level, const char *format, ...)
{
    if (!XrLogStarted())
        return;
    va_list args;
    va_start(args, format);
    XrLogWriteV(nullptr, level, 0, format, args);
    va_end(args);
}

void DetectLogError(const char *routine, const char *what, int code)
{
    DetectLog(XR_LOG_ERROR, "xrDetect: %s(): %s error: %d\n", routine, what, code);
}
