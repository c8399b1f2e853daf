#include <gtest/gtest.h>

#include <cmath>

#include "runtime/containers.h"

namespace {

int height(c_Node *n) { return n ? 1 + std::max(height(n->m_left), height(n->m_right)) : 0; }

// Red-black rules: no red node with a red child, the same number of black nodes on every path.
int black_height(c_Node *n, bool &ok) {
    if (!n) return 1;
    if (n->m_color == -1 && ((n->m_left && n->m_left->m_color == -1) || (n->m_right && n->m_right->m_color == -1)))
        ok = false;
    if ((n->m_left && n->m_left->m_parent != n) || (n->m_right && n->m_right->m_parent != n)) ok = false;
    int l = black_height(n->m_left, ok), r = black_height(n->m_right, ok);
    if (l != r) ok = false;
    return l + (n->m_color == 1 ? 1 : 0);
}

TEST(Stacks, GrowBy2nPlus10) {
    c_Stack2 *s = (new c_Stack2)->m_new();
    s->p_Push4(String("a"));
    EXPECT_EQ(s->m_data.Length(), 10);
    for (int i = 1; i < 11; ++i) s->p_Push4(String(i));
    EXPECT_EQ(s->m_data.Length(), 30);
    EXPECT_EQ(s->p_Length2(), 11);
    EXPECT_EQ(s->p_Get(10).ToUtf8(), "10");
    Array<String> out = s->p_ToArray();
    EXPECT_EQ(out.Length(), 11);
    EXPECT_EQ(out[0].ToUtf8(), "a");
}

TEST(Stacks, LengthShrinkBlanksAndGrowKeepsBlanks) {
    c_StringStack *s = (new c_StringStack)->m_new();
    s->p_Push4(String("x"));
    s->p_Push4(String("y"));
    s->p_Push4(String("z"));
    s->p_Length(1);
    s->p_Length(3);
    EXPECT_EQ(s->p_Get(0).ToUtf8(), "x");
    EXPECT_EQ(s->p_Get(1).Length(), 0);
    EXPECT_EQ(s->p_Get(2).Length(), 0);
    s->p_Length(45); // beyond capacity: room for at least n
    EXPECT_GE(s->m_data.Length(), 45);
    EXPECT_EQ(s->p_Join(String("-")).Length(), 44 + 1);
    s->p_Clear();
    EXPECT_EQ(s->p_Length2(), 0);
}

TEST(Stacks, PushRangesAndObjectStack) {
    Array<String> src(4);
    for (int i = 0; i < 4; ++i) src[i] = String(i);
    c_StringStack *s = (new c_StringStack)->m_new();
    s->p_Push5(src, 1, 2);
    s->p_Push6(src, 3);
    EXPECT_EQ(s->p_Join(String(",")).ToUtf8(), "1,2,3");

    c_Stack *modes = (new c_Stack)->m_new();
    c_DisplayMode *m = (new c_DisplayMode)->m_new(640, 480);
    modes->p_Push(m);
    EXPECT_EQ(modes->p_ToArray()[0], m);
    modes->p_Length(0);
    EXPECT_EQ(modes->m_data[0], nullptr);
}

TEST(IntMap, AscendingKeysStayBalanced) {
    c_IntMap *map = (new c_IntMap)->m_new();
    const int n = 1000;
    for (int i = 0; i < n; ++i) EXPECT_EQ(map->p_Set(i, nullptr), 1);
    EXPECT_LE(height(map->m_root), 2 * std::log2(n + 1));
    bool ok = true;
    black_height(map->m_root, ok);
    EXPECT_TRUE(ok);
    EXPECT_EQ(map->m_root->m_color, 1);
    for (int i = 0; i < n; i += 97) EXPECT_TRUE(map->p_Contains(i));
    EXPECT_FALSE(map->p_Contains(n));
    EXPECT_FALSE(map->p_Contains(-1));
}

TEST(IntMap, SetOnAnExistingKeyReplacesTheValue) {
    c_IntMap *map = (new c_IntMap)->m_new();
    c_DisplayMode *a = (new c_DisplayMode)->m_new(1, 1), *b = (new c_DisplayMode)->m_new(2, 2);
    for (int k : {50, 20, 80, 10, 30, 25}) map->p_Set(k, a);
    EXPECT_EQ(map->p_Set(25, b), 0);
    EXPECT_EQ(map->p_Get(25), b);
    EXPECT_EQ(map->p_Get(30), a);
    bool ok = true;
    black_height(map->m_root, ok);
    EXPECT_TRUE(ok);
}

TEST(IntMap, CompareWrapsLikeThirtyTwoBitSubtraction) {
    c_IntMap map;
    EXPECT_EQ(map.p_Compare(3, 5), -2);
    EXPECT_LT(map.p_Compare(0x7fffffff, -1), 0); // wraps around
}

} // namespace
