#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <vector>

#include "databuffer/databuffer.h"
#include "host/rtgame.h"

namespace {

c_DataBuffer *buffer(std::vector<int> bytes) {
    c_DataBuffer *b = (new c_DataBuffer)->m_new(static_cast<int>(bytes.size()));
    for (size_t i = 0; i < bytes.size(); ++i)
        b->m_data[i] = static_cast<unsigned char>(bytes[i]);
    return b;
}

std::vector<int> bytes_of(c_DataBuffer *b) { return std::vector<int>(b->m_data, b->m_data + b->m_length); }

std::vector<int> units_of(const String &s) { return std::vector<int>(s.Data(), s.Data() + s.Length()); }

String units(std::initializer_list<Char> u) { return String(u.begin(), static_cast<int>(u.size())); }

const String utf8("utf8"), ascii("ascii");

TEST(DataBufferString, PokeWritesWhatFitsAndReportsTheWhole) {
    String hello = units({'h', 0xe9, 'l', 'l', 'o'});
    c_DataBuffer *b = buffer(std::vector<int>(8, 0xaa));
    EXPECT_EQ(b->p_PokeString(6, hello, utf8), 6);
    EXPECT_EQ(bytes_of(b), (std::vector<int>{0xaa, 0xaa, 0xaa, 0xaa, 0xaa, 0xaa, 'h', 0xc3}));
    EXPECT_EQ(b->p_PokeString(5, hello, ascii), 5);
    EXPECT_EQ(bytes_of(b), (std::vector<int>{0xaa, 0xaa, 0xaa, 0xaa, 0xaa, 'h', 0xe9, 'l'}));

    // Addresses outside the buffer write nothing but still report the length.
    c_DataBuffer *c = buffer(std::vector<int>(4, 0));
    EXPECT_EQ(c->p_PokeString(5, hello, utf8), 6);
    EXPECT_EQ(c->p_PokeString(-1, hello, utf8), 6);
    EXPECT_EQ(c->p_PokeString(-2, hello, ascii), 5);
    EXPECT_EQ(bytes_of(c), (std::vector<int>{0, 0, 0, 0}));

    // One, two and three byte forms round-trip.
    c_DataBuffer *d = (new c_DataBuffer)->m_new(16);
    String mixed = units({'a', 0x7ff, 0x20ac, 0xd800});
    int n = d->p_PokeString(1, mixed, utf8);
    EXPECT_EQ(n, 1 + 2 + 3 + 3);
    EXPECT_EQ(units_of(d->p_PeekString(1, n, utf8)), units_of(mixed));
}

TEST(DataBufferString, PeekFallsBackToSignedBytes) {
    c_DataBuffer *b = buffer({0x68, 0xe9, 0x6c});
    EXPECT_EQ(units_of(b->p_PeekString(0, 3, utf8)), (std::vector<int>{0x68, 0xffe9, 0x6c}));
    EXPECT_EQ(units_of(b->p_PeekString(0, 3, ascii)), (std::vector<int>{0x68, 0xe9, 0x6c}));

    struct Case {
        std::vector<int> bytes;
        std::vector<int> units;
    } cases[] = {
        {{0x61, 0xe2, 0x82}, {0x61, 0xffe2, 0xff82}},                 // cut off at the end
        {{0xc3, 0x28}, {0xffc3, 0x28}},                               // bad continuation
        {{0xf0, 0x9f, 0x98, 0x80}, {0xfff0, 0xff9f, 0xff98, 0xff80}}, // four-byte lead
        {{0xef, 0xbb, 0xbf, 0x41}, {0xfeff, 0x41}},                   // a byte-order mark is just a character
    };
    for (const Case &c : cases) {
        c_DataBuffer *e = buffer(c.bytes);
        EXPECT_EQ(units_of(e->p_PeekString2(0, utf8)), c.units);
    }

    // The count is cut to the buffer; a start outside it reads nothing.
    EXPECT_EQ(units_of(b->p_PeekString(1, 99, ascii)), (std::vector<int>{0xe9, 0x6c}));
    EXPECT_EQ(units_of(b->p_PeekString2(2, ascii)), (std::vector<int>{0x6c}));
    EXPECT_EQ(b->p_PeekString(4, 1, ascii).Length(), 0);
    EXPECT_EQ(b->p_PeekString(-1, 2, utf8).Length(), 0);
    // Extreme addresses and counts, on an empty buffer too, read nothing and overflow nothing.
    c_DataBuffer *empty = (new c_DataBuffer)->m_new(0);
    for (int at : {-2147483647 - 1, -1, 4, 2147483647}) {
        EXPECT_EQ(empty->p_PeekString2(at, utf8).Length(), 0) << at;
        EXPECT_EQ(b->p_PeekString2(at, ascii).Length(), 0) << at;
        EXPECT_EQ(empty->p_PeekString(0, at, utf8).Length(), 0) << at;
        EXPECT_EQ(b->p_PeekString(at, 2147483647, ascii).Length(), 0) << at;
    }
}

TEST(DataBufferBytes, CopyOverlapsInBothDirections) {
    c_DataBuffer *b = buffer({1, 2, 3, 4, 5, 6});
    b->p_CopyBytes(0, b, 1, 4);
    EXPECT_EQ(bytes_of(b), (std::vector<int>{1, 1, 2, 3, 4, 6}));
    b = buffer({1, 2, 3, 4, 5, 6});
    b->p_CopyBytes(1, b, 0, 4);
    EXPECT_EQ(bytes_of(b), (std::vector<int>{2, 3, 4, 5, 5, 6}));

    // Cut by both ends; nothing from outside either buffer.
    c_DataBuffer *dst = buffer({0, 0, 0});
    buffer({1, 2, 3, 4, 5, 6})->p_CopyBytes(2, dst, 1, 10);
    EXPECT_EQ(bytes_of(dst), (std::vector<int>{0, 3, 4}));
    buffer({9, 9})->p_CopyBytes(0, dst, -1, 2);
    buffer({9, 9})->p_CopyBytes(3, dst, 0, 2);
    EXPECT_EQ(bytes_of(dst), (std::vector<int>{0, 3, 4}));
}

TEST(DataBufferBytes, PokeAndPeekCutCountsAndSignBytes) {
    c_DataBuffer *b = buffer({0, 0, 0, 0});
    int in[] = {0x1ff, -2, 3, 4, 5};
    b->p_PokeBytes(2, Array<int>(in, 5), 0, 5); // cut to the two bytes left
    EXPECT_EQ(bytes_of(b), (std::vector<int>{0, 0, 0xff, 0xfe}));
    b->p_PokeBytes(0, Array<int>(in, 5), 4, 3); // cut to the one element left
    EXPECT_EQ(bytes_of(b), (std::vector<int>{5, 0, 0xff, 0xfe}));
    b->p_PokeBytes(0, Array<int>(in, 5), -1, 2);
    b->p_PokeBytes(-1, Array<int>(in, 5), 0, 2);
    EXPECT_EQ(bytes_of(b), (std::vector<int>{5, 0, 0xff, 0xfe}));

    int fill[] = {99, 99, 99, 99, 99, 99};
    Array<int> out(fill, 6);
    b->p_PeekBytes(1, out, 2, 10);
    EXPECT_EQ(std::vector<int>(out.Data(), out.Data() + 6), (std::vector<int>{99, 99, 0, -1, -2, 99}));
    Array<int> tail = b->p_PeekBytes2(1, 10);
    EXPECT_EQ(std::vector<int>(tail.Data(), tail.Data() + tail.Length()), (std::vector<int>{0, -1, -2}));
    EXPECT_EQ(b->p_PeekBytes2(5, 1).Length(), 0);
}

TEST(DataBufferLoad, ReadsAWholeFileThroughTheHost) {
    RtGame host;
    RtGame::_game = &host;
    char path[] = "/tmp/tide_databuffer_XXXXXX";
    int fd = mkstemp(path);
    ASSERT_GE(fd, 0);
    std::vector<unsigned char> content(5000);
    for (size_t i = 0; i < content.size(); ++i)
        content[i] = static_cast<unsigned char>(i * 7);
    ASSERT_EQ(write(fd, content.data(), content.size()), 5000);
    close(fd);

    c_DataBuffer *b = c_DataBuffer::m_Load(String(path));
    unlink(path);
    ASSERT_NE(b, nullptr);
    ASSERT_EQ(b->m_length, 5000);
    EXPECT_TRUE(std::equal(content.begin(), content.end(), b->m_data));
    EXPECT_FALSE(b->_Load(String(path))); // already holds a block
    b->Discard();
    EXPECT_EQ(b->m_data, nullptr);
    EXPECT_EQ(b->m_length, 0);

    EXPECT_EQ(c_DataBuffer::m_Load(String("/tmp/tide_no_such_file")), nullptr);
    RtGame::_game = nullptr;
}

// rtError prints on standard output; death tests match standard error.
void stdout_to_stderr() {
    std::fflush(stdout);
    dup2(2, 1);
}

TEST(DataBufferDeathTest, RuntimeErrors) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            stdout_to_stderr();
            (new c_DataBuffer)->m_new(4)->p_PokeString(0, String("x"), String("UTF8"));
        },
        testing::ExitedWithCode(255), "Zindle Runtime Error : Invalid string encoding:UTF8");
    EXPECT_EXIT(
        {
            stdout_to_stderr();
            (new c_DataBuffer)->m_new(4)->p_PeekString(0, 1, String("latin1"));
        },
        testing::ExitedWithCode(255), "Zindle Runtime Error : Invalid string encoding:latin1");
    EXPECT_EXIT(
        {
            stdout_to_stderr();
            (new c_DataBuffer)->m_new(4)->m_new(4);
        },
        testing::ExitedWithCode(255), "Zindle Runtime Error : Allocate DataBuffer failed");
    EXPECT_EXIT(
        {
            stdout_to_stderr();
            (new c_DataBuffer)->m_new(-1);
        },
        testing::ExitedWithCode(255), "Zindle Runtime Error : Allocate DataBuffer failed");
}

} // namespace
