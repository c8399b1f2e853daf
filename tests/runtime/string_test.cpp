#include <gtest/gtest.h>

#include <string>

#include <cstdio>

#include "runtime/array.h"
#include "runtime/string.h"

namespace {

std::string u8(const String &s) { return s.ToUtf8(); }

String from_units(std::initializer_list<Char> units) {
    return String(units.begin(), static_cast<int>(units.size()));
}

TEST(StringFormat, FloatsKeepFullPrecisionAndAPoint) {
    EXPECT_EQ(u8(String(1.0f)), "1.0");
    EXPECT_EQ(u8(String(-2.5f)), "-2.5");
    EXPECT_EQ(u8(String(0.5f)), "0.5");
    EXPECT_EQ(u8(String(0.1f)), "0.10000000149011612");
    EXPECT_EQ(u8(String(1e30f)), "1.0000000150474662e+30"); // exponent form gets no ".0"
    EXPECT_EQ(u8(String(-7)), "-7");
}

TEST(StringConvert, SignedByteWideningAndToInt) {
    const char bytes[] = {'a', static_cast<char>(0xe9), 0};
    String s(bytes);
    ASSERT_EQ(s.Length(), 2);
    EXPECT_EQ(s[0], 'a');
    EXPECT_EQ(s[1], 0xffe9);
    EXPECT_EQ(String("  -42xyz").ToInt(), -42);
    EXPECT_EQ(String("abc").ToInt(), 0);
    EXPECT_EQ(String("").ToInt(), 0);
    // Past the int range the value saturates (atoi's result would be undefined).
    EXPECT_EQ(String("99999999999").ToInt(), 2147483647);
    EXPECT_EQ(String("-99999999999").ToInt(), -2147483647 - 1);
    EXPECT_EQ(String("2147483647").ToInt(), 2147483647);
    EXPECT_EQ(String("-2147483648").ToInt(), -2147483647 - 1);
    EXPECT_EQ(String(std::string(70, '0').append("7").c_str()).ToInt(), 0); // only 63 characters count
}

TEST(StringSlice, ClampsAndSharesTheWhole) {
    String abc("abc");
    EXPECT_EQ(u8(abc.Slice(-2)), "bc");
    EXPECT_EQ(u8(abc.Slice(1, -1)), "b");
    EXPECT_EQ(abc.Slice(2, 1).Length(), 0);
    EXPECT_TRUE(abc.Slice(0, 99).SameRep(abc));
    EXPECT_EQ(u8(abc.Slice(-99, 2)), "ab");
    EXPECT_EQ(abc.Slice(0, -5).Length(), 0);
}

TEST(StringSplitJoin, PiecesAndSharedReps) {
    Array<String> p = String("a,,b").Split(String(","));
    ASSERT_EQ(p.Length(), 3);
    EXPECT_EQ(u8(p[0]), "a");
    EXPECT_EQ(p[1].Length(), 0);
    EXPECT_EQ(u8(p[2]), "b");

    Array<String> two = String(",").Split(String(","));
    ASSERT_EQ(two.Length(), 2);
    EXPECT_EQ(two[0].Length() + two[1].Length(), 0);

    Array<String> chars = String("abc").Split(String());
    ASSERT_EQ(chars.Length(), 3);
    EXPECT_EQ(u8(chars[2]), "c");
    EXPECT_EQ(String().Split(String()).Length(), 0);

    String whole("no separator");
    Array<String> one = whole.Split(String(","));
    ASSERT_EQ(one.Length(), 1);
    EXPECT_TRUE(one[0].SameRep(whole));

    Array<String> single(1);
    single[0] = String("x");
    EXPECT_TRUE(String(", ").Join(single).SameRep(single[0]));
    EXPECT_EQ(u8(String("--").Join(p)), "a----b");
    EXPECT_EQ(String("-").Join(Array<String>()).Length(), 0);
}

TEST(StringReplaceFind, NonOverlappingLeftToRight) {
    EXPECT_EQ(u8(String("aaa").Replace(String("aa"), String("b"))), "ba");
    String s("hello");
    EXPECT_TRUE(s.Replace(String("z"), String("y")).SameRep(s));
    EXPECT_EQ(u8(String("a.b.c").Replace(String("."), String("::"))), "a::b::c");
    EXPECT_EQ(String("abcabc").Find(String("c"), 3), 5);
    EXPECT_EQ(String("abc").Find(String(""), 2), 2);
    EXPECT_EQ(String("abc").Find(String("abcd")), -1);
    EXPECT_EQ(String("abc").Find(String("a"), -5), 0);
}

TEST(StringOperators, ConcatSharingEqualityAndCase) {
    String a("ab"), empty;
    EXPECT_TRUE((a + empty).SameRep(a));
    EXPECT_TRUE((empty + a).SameRep(a));
    EXPECT_EQ(u8(a + String("cd")), "abcd");
    EXPECT_TRUE(String("") == String("x").Slice(1));
    EXPECT_TRUE(String("ab") != String("abc"));
    String up("ABC");
    EXPECT_TRUE(up.ToUpper().SameRep(up));
    EXPECT_EQ(u8(up.ToLower()), "abc");
    {
        String copy = a;
        copy = copy; // self-assignment keeps the text alive
        EXPECT_EQ(u8(copy), "ab");
    }
}

class StringLoad : public ::testing::Test {
  protected:
    String load(const std::vector<unsigned char> &bytes) {
        FILE *fp = std::tmpfile();
        if (!bytes.empty()) std::fwrite(bytes.data(), 1, bytes.size(), fp);
        std::rewind(fp);
        String s = String::Load(fp);
        std::fclose(fp);
        return s;
    }
};

TEST_F(StringLoad, ByteOrderMarksAndUtf8) {
    EXPECT_EQ(load({}).Length(), 0);
    EXPECT_EQ(load({0xef, 0xbb, 0xbf}).Length(), 0);
    EXPECT_EQ(load({0xef, 0xbb, 0xbf, 'h', 0xc3, 0xa9}), from_units({'h', 0xe9}));
    EXPECT_EQ(load({0xe2, 0x82, 0xac}), from_units({0x20ac}));
    EXPECT_EQ(load({0xfe, 0xff, 0x00, 'A', 0x20, 0xac, 0x01}), from_units({'A', 0x20ac})); // odd byte dropped
    EXPECT_EQ(load({0xff, 0xfe, 'A', 0x00, 0xac, 0x20}), from_units({'A', 0x20ac}));
    EXPECT_EQ(str_load_err.Length(), 0);
}

TEST_F(StringLoad, InvalidUtf8FallsBackToBytes) {
    String s = load({0xef, 0xbb, 0xbf, 'a', 0xf0, 0x9f, 0x98, 0x80});
    EXPECT_EQ(s, from_units({'a', 0xf0, 0x9f, 0x98, 0x80}));
    EXPECT_EQ(u8(str_load_err), "Invalid UTF-8");
    EXPECT_EQ(load({'x', 0xc3}), from_units({'x', 0xc3})); // cut off by the end
    EXPECT_EQ(load({0x80, 'y'}), from_units({0x80, 'y'})); // stray continuation byte
    load({'o', 'k'});
    EXPECT_EQ(str_load_err.Length(), 0); // cleared by the next load
}

TEST_F(StringLoad, ReadsPastOneChunk) {
    std::vector<unsigned char> bytes(4096 * 2 + 5, 'z');
    EXPECT_EQ(load(bytes).Length(), 4096 * 2 + 5);
    std::vector<unsigned char> exact(4096, 'q');
    EXPECT_EQ(load(exact).Length(), 4096);
}

TEST(StringUtf8, EncodesOneTwoAndThreeBytes) {
    EXPECT_EQ(from_units({0xc4, 0x31}).ToUtf8(), "\xc3\x84\x31");
    EXPECT_EQ(from_units({0xe9}).ToUtf8(), "\xc3\xa9");
    EXPECT_EQ(from_units({0xffff}).ToUtf8(), "\xef\xbf\xbf");
}

} // namespace
