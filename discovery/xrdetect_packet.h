/* The discovery datagram and its codec. No Windows types here: the codec also builds natively,
 * where it runs under the sanitizers and the fuzzer. */
#ifndef DISCOVERY_XRDETECT_PACKET_H
#define DISCOVERY_XRDETECT_PACKET_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define DETECT_PACKET_SIZE 27
#define DETECT_VERSION 5
#define DETECT_FAMILY_INET 2

/* An IPv4 socket address with a fixed layout; port and address bytes in network order. */
typedef struct DetectInAddr {
    uint16_t family;
    uint16_t port;
    uint8_t address[4];
} DetectInAddr;

/* A request or a reply. id, destinationPort and timeStamp are in host order, sourcePort in
 * network order. */
typedef struct DetectPacket {
    uint8_t version;
    uint16_t id;
    DetectInAddr source;
    uint16_t sourcePort;
    DetectInAddr destination;
    uint16_t destinationPort;
    uint32_t timeStamp; /* seconds since 1970-01-01 UTC */
    char tag[8];
} DetectPacket;

/* 27, or -1 when size is too small; a short buffer keeps the whole fields that fitted. */
int PackToBuf(unsigned char *buffer, int size, const DetectPacket *packet);
/* 0, or -1 when length is below 27 (the whole fields that fitted are read all the same). */
int UnpackFromBuf(const unsigned char *buffer, int length, DetectPacket *packet);
/* 1 for a reply worth taking, else 0 (also for null); a rejected reply is logged. */
int CheckReplyPacket(const DetectPacket *packet);

#if defined(__GNUC__)
#define DETECT_PRINTF_FORMAT __attribute__((format(printf, 2, 3)))
#else
#define DETECT_PRINTF_FORMAT
#endif

/* Writes to the process log at level, only while logging is started. */
void DetectLog(int32_t level, const char *format, ...) DETECT_PRINTF_FORMAT;
/* "xrDetect: <routine>(): <what> error: <code>" at level 1. */
void DetectLogError(const char *routine, const char *what, int code);

#ifdef __cplusplus
}
#endif

#endif
