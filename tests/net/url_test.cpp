#include <gtest/gtest.h>

#include "net/http.h"

namespace {

c_Url *parse(const char *text) { return (new c_Url)->m_new(String(text), String("http"), 80); }

std::string u8(const String &s) { return s.ToUtf8(); }

TEST(Url, SplitsEveryPart) {
    c_Url *u = parse("http://joe:se:cret@server:8080/a/b?x=1#top");
    EXPECT_EQ(u8(u->m_scheme), "http");
    EXPECT_EQ(u8(u->m_username), "joe");
    EXPECT_EQ(u8(u->m_password), "se:cret"); // split at the first ":" of the user part
    EXPECT_EQ(u8(u->p_Domain()), "server");
    EXPECT_EQ(u->p_Port(), 8080);
    EXPECT_EQ(u8(u->m_path), "/a/b");
    EXPECT_EQ(u8(u->m_query), "x=1");
    EXPECT_EQ(u8(u->m_fragment), "top");
    EXPECT_EQ(u8(u->p_FullPath()), "/a/b?x=1#top");

    u = parse("ftp://anon@host/file");
    EXPECT_EQ(u8(u->m_username), "anon");
    EXPECT_EQ(u8(u->m_password), "");
    EXPECT_EQ(u8(u->m_scheme), "ftp");
}

TEST(Url, QuestionMarkAfterTheHashBelongsToTheFragment) {
    c_Url *u = parse("server/x#frag?more");
    EXPECT_EQ(u8(u->m_scheme), "http"); // the default
    EXPECT_EQ(u8(u->p_Domain()), "server");
    EXPECT_EQ(u8(u->m_path), "/x");
    EXPECT_EQ(u8(u->m_query), "");
    EXPECT_EQ(u8(u->m_fragment), "frag?more");
    EXPECT_EQ(u8(u->p_FullPath()), "/x#frag?more");
}

TEST(Url, DefaultsAndPortForms) {
    c_Url *u = parse("http://example.org");
    EXPECT_EQ(u8(u->p_Domain()), "example.org");
    EXPECT_EQ(u->p_Port(), 80);
    EXPECT_EQ(u8(u->m_path), "/");
    EXPECT_EQ(u8(u->p_FullPath()), "/");

    u = parse("host:81?q"); // port without a path, query stops the authority
    EXPECT_EQ(u8(u->p_Domain()), "host");
    EXPECT_EQ(u->p_Port(), 81);
    EXPECT_EQ(u8(u->m_path), "/");
    EXPECT_EQ(u8(u->p_FullPath()), "/?q");

    u = parse("host/p:9"); // a ":" after the "/" is part of the path
    EXPECT_EQ(u8(u->p_Domain()), "host");
    EXPECT_EQ(u->p_Port(), 80);
    EXPECT_EQ(u8(u->m_path), "/p:9");

    u = parse("host:12ab/"); // the port reads its leading digits only
    EXPECT_EQ(u->p_Port(), 12);
    u = parse("host:/x");
    EXPECT_EQ(u->p_Port(), 0);

    // Parsing again starts from the defaults, not from the previous URL.
    u->p_Set2(String("other"));
    EXPECT_EQ(u8(u->p_Domain()), "other");
    EXPECT_EQ(u->p_Port(), 80);
    EXPECT_EQ(u8(u->m_path), "/");
}

} // namespace
