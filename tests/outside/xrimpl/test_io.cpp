#include "xrimpl.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace {

// A connected pair of TCP sockets on the loopback interface.
class IoTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        WSADATA data;
        ASSERT_EQ(WSAStartup(MAKEWORD(2, 2), &data), 0);
        SOCKET listener = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        sockaddr_in address = {};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        int size = sizeof address;
        ASSERT_EQ(bind(listener, (sockaddr *)&address, sizeof address), 0);
        ASSERT_EQ(listen(listener, 1), 0);
        ASSERT_EQ(getsockname(listener, (sockaddr *)&address, &size), 0);
        near_ = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        ASSERT_EQ(connect(near_, (sockaddr *)&address, sizeof address), 0);
        far_ = accept(listener, nullptr, nullptr);
        closesocket(listener);
    }

    void TearDown() override
    {
        closesocket(near_);
        closesocket(far_);
        WSACleanup();
    }

    // abortive: the peer resets the connection instead of ending it in order.
    void CloseFar(bool abortive)
    {
        linger reset = {1, 0};
        if (abortive)
            setsockopt(far_, SOL_SOCKET, SO_LINGER, (const char *)&reset, sizeof reset);
        closesocket(far_);
        far_ = INVALID_SOCKET;
    }

    SOCKET near_ = INVALID_SOCKET;
    SOCKET far_ = INVALID_SOCKET;
    XrConnection connection_ = {};
};

std::vector<char> Pattern(size_t size)
{
    std::vector<char> data(size);
    for (size_t i = 0; i < size; i++)
        data[i] = (char)(i * 7 + i / 251);
    return data;
}

TEST_F(IoTest, LargeTransfersMoveExactlyTheLengthAskedFor)
{
    std::vector<char> sent = Pattern(4 << 20);
    std::vector<char> received(sent.size());
    int length = (int)sent.size();
    int sentCount = 0;
    std::thread sender(
        [&] { sentCount = XrIOSend(near_, &connection_, sent.data(), length, 0, 7, nullptr); });
    EXPECT_EQ(XrIORecv(far_, &connection_, received.data(), length, 0, 7, nullptr), length);
    sender.join();
    EXPECT_EQ(sentCount, length);
    EXPECT_TRUE(sent == received);
}

TEST_F(IoTest, RecvGivesTheShortCountWhenThePeerClosesEarly)
{
    std::vector<char> part = Pattern(10);
    ASSERT_EQ(send(far_, part.data(), 10, 0), 10);
    CloseFar(false);
    std::vector<char> received(100);
    ASSERT_EQ(XrIORecv(near_, &connection_, received.data(), 100, 0, 7, nullptr), 10);
    EXPECT_TRUE(std::equal(part.begin(), part.end(), received.begin()));
}

TEST_F(IoTest, SendGivesAShortCountWhenThePeerHasGone)
{
    CloseFar(true);
    std::vector<char> data = Pattern(64 << 10);
    EXPECT_LT(XrIOSend(near_, &connection_, data.data(), (int)data.size(), 0, 7, nullptr),
              (int)data.size());
}

TEST(Socksify, LastStateAndCallCountAreRecorded)
{
    int calls = XrImplSocksifyCalls();
    WSPSetSocksify(0);
    EXPECT_EQ(XrImplGetSocksify(), 0);
    WSPSetSocksify(1);
    EXPECT_EQ(XrImplGetSocksify(), 1);
    EXPECT_EQ(XrImplSocksifyCalls(), calls + 2);
}

} // namespace
