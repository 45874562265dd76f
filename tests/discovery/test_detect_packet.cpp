// The discovery datagram codec, byte for byte. Portable: also runs natively under the sanitizers.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "xrdetect_packet.h"

namespace {

// A request from 10.1.2.3 port 40000 to 10.1.2.255 for SOCKS port 1080, ID 0x1234, stamped
// 0x01020304, and its wire form.
DetectPacket SamplePacket()
{
    DetectPacket packet = {};
    packet.version = 5;
    packet.id = 0x1234;
    const uint8_t source[4] = {10, 1, 2, 3};
    const uint8_t destination[4] = {10, 1, 2, 255};
    std::memcpy(packet.source.address, source, 4);
    std::memcpy(packet.destination.address, destination, 4);
    const uint8_t sourcePort[2] = {0x9C, 0x40};
    std::memcpy(&packet.sourcePort, sourcePort, 2);
    packet.destinationPort = 1080;
    packet.timeStamp = 0x01020304;
    packet.tag[0] = '0';
    return packet;
}

const std::vector<unsigned char> kSampleWire = {
    0x05, 0x12, 0x34, 10, 1, 2, 3, 0x9C, 0x40, 10, 1, 2, 255, 0x38, 0x04,
    0x01, 0x02, 0x03, 0x04, '0', 0, 0, 0, 0, 0, 0, 0};

// Where each field of the datagram ends.
const int kFieldEnds[] = {1, 3, 7, 9, 13, 15, 19, 27};

int WholeFieldsIn(int size)
{
    int fitted = 0;
    for (int end : kFieldEnds)
        if (end <= size)
            fitted = end;
    return fitted;
}

TEST(DetectPacketTest, PackWritesTheFieldsInWireOrder)
{
    DetectPacket packet = SamplePacket();
    std::vector<unsigned char> buffer(544, 0xAA);
    ASSERT_EQ(PackToBuf(buffer.data(), int(buffer.size()), &packet), 27);
    EXPECT_EQ(std::vector<unsigned char>(buffer.begin(), buffer.begin() + 27), kSampleWire);
    EXPECT_EQ(buffer[27], 0xAA);
}

TEST(DetectPacketTest, ShortBufferKeepsTheFieldsThatFitted)
{
    DetectPacket packet = SamplePacket();
    for (int size = 0; size < DETECT_PACKET_SIZE; size++) {
        SCOPED_TRACE(size);
        std::vector<unsigned char> buffer(DETECT_PACKET_SIZE, 0xAA);
        EXPECT_EQ(PackToBuf(buffer.data(), size, &packet), -1);
        int fitted = WholeFieldsIn(size);
        std::vector<unsigned char> expected(kSampleWire.begin(), kSampleWire.begin() + fitted);
        expected.resize(DETECT_PACKET_SIZE, 0xAA);
        EXPECT_EQ(buffer, expected);
    }
}

TEST(DetectPacketTest, UnpackReadsEveryFieldOfAWholeDatagramOnly)
{
    std::vector<unsigned char> wire = kSampleWire;
    wire.resize(40, 0xEE);
    const DetectPacket expected = SamplePacket();
    for (int length = 0; length <= 40; length++) {
        SCOPED_TRACE(length);
        DetectPacket packet = {};
        int unpacked = UnpackFromBuf(wire.data(), length, &packet);
        if (length < DETECT_PACKET_SIZE) {
            EXPECT_EQ(unpacked, -1);
            continue;
        }
        ASSERT_EQ(unpacked, 0);
        EXPECT_EQ(packet.version, expected.version);
        EXPECT_EQ(packet.id, expected.id);
        EXPECT_EQ(std::memcmp(packet.source.address, expected.source.address, 4), 0);
        EXPECT_EQ(packet.sourcePort, expected.sourcePort);
        EXPECT_EQ(std::memcmp(packet.destination.address, expected.destination.address, 4), 0);
        EXPECT_EQ(packet.destinationPort, 1080);
        EXPECT_EQ(packet.timeStamp, 0x01020304u);
        EXPECT_EQ(std::memcmp(packet.tag, expected.tag, sizeof packet.tag), 0);
    }
}

TEST(DetectPacketTest, ReplyCheckTakesVersionFiveWithIdZeroOnly)
{
    struct Row {
        uint8_t version;
        uint16_t id;
        int valid;
    };
    const Row rows[] = {{5, 0, 1}, {4, 0, 0}, {6, 0, 0}, {5, 1, 0}, {5, 0xFFFF, 0}, {0, 7, 0}};
    for (const Row &row : rows) {
        SCOPED_TRACE(testing::Message() << int(row.version) << "/" << row.id);
        DetectPacket packet = SamplePacket();
        packet.version = row.version;
        packet.id = row.id;
        EXPECT_EQ(CheckReplyPacket(&packet), row.valid);
    }
    EXPECT_EQ(CheckReplyPacket(nullptr), 0);
}

}  // namespace
