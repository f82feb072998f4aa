// Checks that every Float4 operation, and a BiquadLanes section, gives in each lane exactly the
// bits of the scalar expression it stands for. The chain relies on this to stay bit-exact on
// every instruction set, so the program is built natively, with the plain-float lanes forced,
// and for AArch64 (run under an emulator) when a cross compiler is there. It needs nothing but
// the two headers, so it is a plain program: the exit code is the number of failed checks.
#include "BiquadLanes.h"
#include "Float4.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>

namespace
{
int failures = 0;

uint32_t bitsOf (float x)
{
    uint32_t bits;
    std::memcpy (&bits, &x, sizeof (bits));
    return bits;
}

/** Same bits, or both NaN (NaN payloads are not part of what the chain relies on). */
bool same (float a, float b) { return bitsOf (a) == bitsOf (b) || (std::isnan (a) && std::isnan (b)); }

void expectLanes (const char* what, Float4 actual, const float (&expected)[4])
{
    float lanes[4];
    actual.store (lanes);

    for (int k = 0; k < 4; ++k)
    {
        if (! same (lanes[k], expected[k]))
        {
            std::printf ("FAIL %s lane %d: got %a, expected %a\n", what, k, (double) lanes[k], (double) expected[k]);
            ++failures;
        }
    }
}

void expectTrue (const char* what, bool condition)
{
    if (! condition)
    {
        std::printf ("FAIL %s\n", what);
        ++failures;
    }
}

const float inf = std::numeric_limits<float>::infinity();
const float nan = std::numeric_limits<float>::quiet_NaN();

// Signed zeros, equal values, ties around the sanitising limit, extremes and NaN.
const float values[] = {
    0.0f,    -0.0f,   1.0f,     -1.0f, 0.5f, -0.28f, 1.5f, 3.0e-39f, -1.0e-30f, 1.0e6f, std::nextafter (1.0e6f, 2.0e6f),
    -1.0e6f, 3.4e38f, -3.4e38f, inf,   -inf, nan,    0.2f
};
constexpr int numValues = (int) (sizeof (values) / sizeof (values[0]));

/** Every ordered pair of values, four pairs at a time. */
template <typename Check>
void forEachQuad (Check check)
{
    for (int start = 0; start < numValues * numValues; start += 4)
    {
        float a[4], b[4];

        for (int k = 0; k < 4; ++k)
        {
            const int pair = (start + k) % (numValues * numValues);
            a[k] = values[pair / numValues];
            b[k] = values[pair % numValues];
        }

        check (a, b);
    }
}

void checkArithmetic()
{
    forEachQuad (
        [] (const float (&a)[4], const float (&b)[4])
        {
            const Float4 x = Float4::load (a), y = Float4::load (b);
            float sum[4], difference[4], product[4], smaller[4], larger[4], magnitude[4], negated[4], kept[4];

            for (int k = 0; k < 4; ++k)
            {
                sum[k] = a[k] + b[k];
                difference[k] = a[k] - b[k];
                product[k] = a[k] * b[k];
                smaller[k] = a[k] < b[k] ? a[k] : b[k];
                larger[k] = a[k] > b[k] ? a[k] : b[k];
                magnitude[k] = std::abs (a[k]);
                negated[k] = -a[k];
                kept[k] = std::abs (a[k]) <= 1.0e6f ? a[k] : 0.0f;
            }

            expectLanes ("add", x + y, sum);
            expectLanes ("subtract", x - y, difference);
            expectLanes ("multiply", x * y, product);
            expectLanes ("min", Float4::min (x, y), smaller);
            expectLanes ("max", Float4::max (x, y), larger);
            expectLanes ("abs", Float4::abs (x), magnitude);
            expectLanes ("negate", Float4::negate (x), negated);
            expectLanes ("keepWithin", Float4::keepWithin (x, 1.0e6f), kept);
        });
}

void checkLaneMoves()
{
    const float a[4] = { 1, 2, 3, 4 }, b[4] = { 5, 6, 7, 8 };
    const Float4 x = Float4::load (a), y = Float4::load (b);

    expectLanes ("interleaveLow", Float4::interleaveLow (x, y), { 1, 5, 2, 6 });
    expectLanes ("interleaveHigh", Float4::interleaveHigh (x, y), { 3, 7, 4, 8 });
    expectLanes ("lowHalves", Float4::lowHalves (x, y), { 1, 2, 5, 6 });
    expectLanes ("highHalves", Float4::highHalves (x, y), { 3, 4, 7, 8 });
    expectLanes ("evenLanes", Float4::evenLanes (x, y), { 1, 3, 5, 7 });
    expectLanes ("oddLanes", Float4::oddLanes (x, y), { 2, 4, 6, 8 });
    expectLanes ("broadcast", Float4::broadcast (-0.0f), { -0.0f, -0.0f, -0.0f, -0.0f });
    expectLanes ("zero", Float4::zero(), { 0, 0, 0, 0 });

    const float zeros[4] = { 0.0f, -0.0f, 0.0f, -0.0f };
    expectTrue ("anyNonZero of zeros", ! Float4::load (zeros).anyNonZero());

    for (int k = 0; k < 4; ++k)
    {
        float lanes[4] = { 0, 0, 0, 0 };
        lanes[k] = 1.0e-40f;
        expectTrue ("anyNonZero of one small lane", Float4::load (lanes).anyNonZero());
        lanes[k] = nan;
        expectTrue ("anyNonZero of one NaN lane", Float4::load (lanes).anyNonZero());
    }

    for (int count = 0; count <= 4; ++count)
    {
        float expected[4] = { 0, 0, 0, 0 }, stored[6] = { 9, 9, 9, 9, 9, 9 }, storedExpected[6] = { 9, 9, 9, 9, 9, 9 };

        for (int k = 0; k < count; ++k)
            expected[k] = storedExpected[k + 1] = a[k];

        expectLanes ("loadPartial", Float4::loadPartial (a, count), expected);
        x.storePartial (stored + 1, count);

        for (int k = 0; k < 6; ++k)
            expectTrue ("storePartial writes only its lanes", same (stored[k], storedExpected[k]));
    }
}

/** The framework's transposed direct form II step, written out for one value. */
struct ScalarBiquad
{
    const float* c;
    float s0 = 0.0f, s1 = 0.0f;

    float step (float x)
    {
        const float y = (c[0] * x) + s0;
        s0 = (c[1] * x) - (c[3] * y) + s1;
        s1 = (c[2] * x) - (c[4] * y);
        return y;
    }
};

void checkBiquad()
{
    // A low-pass, a high-pass, a resonant and a nearly unstable section, one per lane.
    const float coefficients[4][5] = { { 9.4e-5f, 1.88e-4f, 9.4e-5f, -1.9722f, 0.97258f },
                                       { 0.8143f, -1.6286f, 0.8143f, -1.5906f, 0.6665f },
                                       { 0.02f, 0.0f, -0.02f, -1.9f, 0.96f },
                                       { 1.0f, -2.0f, 1.0f, -1.99996f, 0.99997f } };
    BiquadLanes lanes;
    lanes.setCoefficients (coefficients[0], coefficients[1], coefficients[2], coefficients[3]);
    ScalarBiquad scalar[4] = { { coefficients[0] }, { coefficients[1] }, { coefficients[2] }, { coefficients[3] } };

    uint32_t noise = 12345;
    int mismatches = 0;

    for (int i = 0; i < 20000; ++i)
    {
        float input[4], expected[4];

        for (int k = 0; k < 4; ++k)
        {
            noise = noise * 1664525u + 1013904223u;
            input[k] = (i % 5000 < 2500) ? (float) (noise >> 8) / 8388608.0f - 1.0f : 0.0f; // bursts, then decay
            expected[k] = scalar[k].step (input[k]);
        }

        float actual[4];
        lanes.step (Float4::load (input)).store (actual);

        for (int k = 0; k < 4; ++k)
            mismatches += same (actual[k], expected[k]) ? 0 : 1;
    }

    expectTrue ("BiquadLanes equals the scalar section sample for sample", mismatches == 0);
}
} // namespace

int main()
{
    checkArithmetic();
    checkLaneMoves();
    checkBiquad();

#if OSTREL_FLOAT4_SSE2
    const char* kind = "SSE2";
#elif OSTREL_FLOAT4_NEON
    const char* kind = "NEON";
#else
    const char* kind = "plain floats";
#endif

    std::printf ("Float4 (%s): %d failed checks\n", kind, failures);
    return failures == 0 ? 0 : 1;
}
