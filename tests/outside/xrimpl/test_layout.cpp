/* The records this system hands to the 32-bit engine, read byte by byte where the engine reads
 * them. */
#include "xrimpl.h"

#include "../../arch_only.h"

#include <stdint.h>
#include <string.h>

namespace {

uint32_t Word(const unsigned char *bytes) // little-endian, as the engine reads it
{
    return bytes[0] | bytes[1] << 8 | bytes[2] << 16 | (uint32_t)bytes[3] << 24;
}

TEST_32BIT_ONLY(EngineLayout, RemoteCommandRequestBytesSitWhereTheEngineReadsThem)
{
    char piece[256];
    RpcRequest request = {};
    request.window = (HWND)(uintptr_t)0x11223344;
    request.message = 0xC123;
    memcpy(request.destination, "gw.example", 11);
    request.result = piece;
    request.resultSize = XR_RPC_PIECE_MAX;

    unsigned char bytes[272];
    ASSERT_EQ(sizeof request, sizeof bytes);
    memcpy(bytes, &request, sizeof bytes);
    EXPECT_EQ(Word(bytes), 0x11223344u);
    EXPECT_EQ(Word(bytes + 4), 0xC123u);
    EXPECT_STREQ((const char *)bytes + 8, "gw.example");
    EXPECT_EQ(bytes[263], 0);
    EXPECT_EQ(Word(bytes + 264), (uint32_t)(uintptr_t)piece);
    EXPECT_EQ(Word(bytes + 268), 255u);
}

TEST_32BIT_ONLY(EngineLayout, ConnectionUserFieldsSitWhereTheEngineWritesThem)
{
    unsigned char bytes[sizeof(XrConnection)] = {};
    memcpy(bytes + 521, "requested", 10);
    memcpy(bytes + 650, "granted", 8);
    XrConnection connection;
    memcpy(&connection, bytes, sizeof connection);
    EXPECT_STREQ(connection.requestedUser, "requested");
    EXPECT_STREQ(connection.user, "granted");
}

} // namespace
