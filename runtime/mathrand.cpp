#include "runtime/mathrand.h"

int rt_random_Seed = 1234;

int rt_math_Abs(int x) { return x >= 0 ? x : static_cast<int>(0u - static_cast<unsigned>(x)); }
float rt_math_Abs2(float x) { return x >= 0 ? x : -x; }
int rt_math_Max(int a, int b) { return a < b ? b : a; }
float rt_math_Max2(float a, float b) { return a > b ? a : b; }

float rt_random_Rnd() {
    unsigned state = static_cast<unsigned>(rt_random_Seed) * 1664525u + 1013904223u;
    rt_random_Seed = static_cast<int>(state);
    return static_cast<float>((state >> 8) * (1.0 / 16777216.0));
}

float rt_random_Rnd2(float low, float high) {
    double r = rt_random_Rnd();
    return static_cast<float>(low + (static_cast<double>(high) - low) * r);
}

float rt_random_Rnd3(float range) { return static_cast<float>(rt_random_Rnd() * static_cast<double>(range)); }
