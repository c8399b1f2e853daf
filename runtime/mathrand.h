// Integer and float helpers, and the one linear congruential generator every random choice draws from.
#pragma once

extern int rt_random_Seed;

int rt_math_Abs(int x);
float rt_math_Abs2(float x);
int rt_math_Max(int a, int b);
float rt_math_Max2(float a, float b);

float rt_random_Rnd();
float rt_random_Rnd2(float low, float high);
float rt_random_Rnd3(float range);
