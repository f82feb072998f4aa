#pragma once

#include <cmath>
#include <cstring>

// OSTREL_FLOAT4_SCALAR forces the plain-float lanes (their check builds them on any machine).
#if defined(OSTREL_FLOAT4_SCALAR)
#elif defined(__SSE2__) || defined(_M_X64) || (defined(_M_IX86_FP) && _M_IX86_FP >= 2)
#define OSTREL_FLOAT4_SSE2 1
#include <emmintrin.h>
#elif defined(__ARM_NEON) || defined(__ARM_NEON__)
#define OSTREL_FLOAT4_NEON 1
#include <arm_neon.h>
#endif

/** Four single-precision lanes, on SSE2, NEON or plain floats.

    Every lane gets exactly the IEEE single-precision arithmetic that the same scalar expression
    gets (no fused multiply-add, no reassociation), so a chain computed in lanes gives the same
    bits as the chain computed one value at a time. min and max follow the comparisons of the
    scalar forms they replace: min (a, b) is a < b ? a : b and max (a, b) is a > b ? a : b.
*/
struct Float4
{
#if OSTREL_FLOAT4_SSE2
    __m128 v;

    static Float4 load (const float* p) noexcept { return { _mm_loadu_ps (p) }; }
    static Float4 broadcast (float x) noexcept { return { _mm_set1_ps (x) }; }
    static Float4 zero() noexcept { return { _mm_setzero_ps() }; }
    void store (float* p) const noexcept { _mm_storeu_ps (p, v); }

    friend Float4 operator+ (Float4 a, Float4 b) noexcept { return { _mm_add_ps (a.v, b.v) }; }
    friend Float4 operator- (Float4 a, Float4 b) noexcept { return { _mm_sub_ps (a.v, b.v) }; }
    friend Float4 operator* (Float4 a, Float4 b) noexcept { return { _mm_mul_ps (a.v, b.v) }; }
    static Float4 min (Float4 a, Float4 b) noexcept { return { _mm_min_ps (a.v, b.v) }; }
    static Float4 max (Float4 a, Float4 b) noexcept { return { _mm_max_ps (a.v, b.v) }; }
    static Float4 abs (Float4 a) noexcept { return { _mm_andnot_ps (_mm_set1_ps (-0.0f), a.v) }; }
    static Float4 negate (Float4 a) noexcept { return { _mm_xor_ps (_mm_set1_ps (-0.0f), a.v) }; }

    /** Each lane of a whose magnitude is at most limit, the others 0 (NaN included). */
    static Float4 keepWithin (Float4 a, float limit) noexcept
    {
        return { _mm_and_ps (a.v, _mm_cmple_ps (abs (a).v, _mm_set1_ps (limit))) };
    }

    /** True when any lane is not +0 or −0. */
    bool anyNonZero() const noexcept { return _mm_movemask_ps (_mm_cmpneq_ps (v, _mm_setzero_ps())) != 0; }

    static Float4 interleaveLow (Float4 a, Float4 b) noexcept { return { _mm_unpacklo_ps (a.v, b.v) }; }
    static Float4 interleaveHigh (Float4 a, Float4 b) noexcept { return { _mm_unpackhi_ps (a.v, b.v) }; }
    static Float4 lowHalves (Float4 a, Float4 b) noexcept { return { _mm_movelh_ps (a.v, b.v) }; }
    static Float4 highHalves (Float4 a, Float4 b) noexcept { return { _mm_movehl_ps (b.v, a.v) }; }
    static Float4 evenLanes (Float4 a, Float4 b) noexcept { return { _mm_shuffle_ps (a.v, b.v, 0x88) }; }
    static Float4 oddLanes (Float4 a, Float4 b) noexcept { return { _mm_shuffle_ps (a.v, b.v, 0xdd) }; }
#elif OSTREL_FLOAT4_NEON
    float32x4_t v;

    static Float4 load (const float* p) noexcept { return { vld1q_f32 (p) }; }
    static Float4 broadcast (float x) noexcept { return { vdupq_n_f32 (x) }; }
    static Float4 zero() noexcept { return { vdupq_n_f32 (0.0f) }; }
    void store (float* p) const noexcept { vst1q_f32 (p, v); }

    friend Float4 operator+ (Float4 a, Float4 b) noexcept { return { vaddq_f32 (a.v, b.v) }; }
    friend Float4 operator- (Float4 a, Float4 b) noexcept { return { vsubq_f32 (a.v, b.v) }; }
    friend Float4 operator* (Float4 a, Float4 b) noexcept { return { vmulq_f32 (a.v, b.v) }; }
    static Float4 min (Float4 a, Float4 b) noexcept { return { vbslq_f32 (vcltq_f32 (a.v, b.v), a.v, b.v) }; }
    static Float4 max (Float4 a, Float4 b) noexcept { return { vbslq_f32 (vcgtq_f32 (a.v, b.v), a.v, b.v) }; }
    static Float4 abs (Float4 a) noexcept { return { vabsq_f32 (a.v) }; }
    static Float4 negate (Float4 a) noexcept { return { vnegq_f32 (a.v) }; }

    static Float4 keepWithin (Float4 a, float limit) noexcept
    {
        const uint32x4_t inside = vcleq_f32 (vabsq_f32 (a.v), vdupq_n_f32 (limit));
        return { vreinterpretq_f32_u32 (vandq_u32 (vreinterpretq_u32_f32 (a.v), inside)) };
    }

    bool anyNonZero() const noexcept
    {
        const uint32x4_t nonZero = vmvnq_u32 (vceqq_f32 (v, vdupq_n_f32 (0.0f)));
        const uint32x2_t folded = vorr_u32 (vget_low_u32 (nonZero), vget_high_u32 (nonZero));
        return (vget_lane_u32 (folded, 0) | vget_lane_u32 (folded, 1)) != 0;
    }

    static Float4 interleaveLow (Float4 a, Float4 b) noexcept { return { vzipq_f32 (a.v, b.v).val[0] }; }
    static Float4 interleaveHigh (Float4 a, Float4 b) noexcept { return { vzipq_f32 (a.v, b.v).val[1] }; }
    static Float4 lowHalves (Float4 a, Float4 b) noexcept
    {
        return { vcombine_f32 (vget_low_f32 (a.v), vget_low_f32 (b.v)) };
    }
    static Float4 highHalves (Float4 a, Float4 b) noexcept
    {
        return { vcombine_f32 (vget_high_f32 (a.v), vget_high_f32 (b.v)) };
    }
    static Float4 evenLanes (Float4 a, Float4 b) noexcept { return { vuzpq_f32 (a.v, b.v).val[0] }; }
    static Float4 oddLanes (Float4 a, Float4 b) noexcept { return { vuzpq_f32 (a.v, b.v).val[1] }; }
#else
    float v[4];

    static Float4 load (const float* p) noexcept { return { { p[0], p[1], p[2], p[3] } }; }
    static Float4 broadcast (float x) noexcept { return { { x, x, x, x } }; }
    static Float4 zero() noexcept { return broadcast (0.0f); }
    void store (float* p) const noexcept { std::memcpy (p, v, sizeof (v)); }

    template <typename Op>
    static Float4 map (Float4 a, Float4 b, Op op) noexcept
    {
        return { { op (a.v[0], b.v[0]), op (a.v[1], b.v[1]), op (a.v[2], b.v[2]), op (a.v[3], b.v[3]) } };
    }

    friend Float4 operator+ (Float4 a, Float4 b) noexcept
    {
        return map (a, b, [] (float x, float y) { return x + y; });
    }
    friend Float4 operator- (Float4 a, Float4 b) noexcept
    {
        return map (a, b, [] (float x, float y) { return x - y; });
    }
    friend Float4 operator* (Float4 a, Float4 b) noexcept
    {
        return map (a, b, [] (float x, float y) { return x * y; });
    }
    static Float4 min (Float4 a, Float4 b) noexcept
    {
        return map (a, b, [] (float x, float y) { return x < y ? x : y; });
    }
    static Float4 max (Float4 a, Float4 b) noexcept
    {
        return map (a, b, [] (float x, float y) { return x > y ? x : y; });
    }
    static Float4 abs (Float4 a) noexcept
    {
        return map (a, a, [] (float x, float) { return std::abs (x); });
    }
    static Float4 negate (Float4 a) noexcept
    {
        return map (a, a, [] (float x, float) { return -x; });
    }

    static Float4 keepWithin (Float4 a, float limit) noexcept
    {
        return map (a, a, [limit] (float x, float) { return std::abs (x) <= limit ? x : 0.0f; });
    }

    bool anyNonZero() const noexcept { return v[0] != 0.0f || v[1] != 0.0f || v[2] != 0.0f || v[3] != 0.0f; }

    static Float4 interleaveLow (Float4 a, Float4 b) noexcept { return { { a.v[0], b.v[0], a.v[1], b.v[1] } }; }
    static Float4 interleaveHigh (Float4 a, Float4 b) noexcept { return { { a.v[2], b.v[2], a.v[3], b.v[3] } }; }
    static Float4 lowHalves (Float4 a, Float4 b) noexcept { return { { a.v[0], a.v[1], b.v[0], b.v[1] } }; }
    static Float4 highHalves (Float4 a, Float4 b) noexcept { return { { a.v[2], a.v[3], b.v[2], b.v[3] } }; }
    static Float4 evenLanes (Float4 a, Float4 b) noexcept { return { { a.v[0], a.v[2], b.v[0], b.v[2] } }; }
    static Float4 oddLanes (Float4 a, Float4 b) noexcept { return { { a.v[1], a.v[3], b.v[1], b.v[3] } }; }
#endif

    /** Loads count (0 … 4) floats; the lanes beyond them are 0. */
    static Float4 loadPartial (const float* p, int count) noexcept
    {
        if (count >= 4)
            return load (p);

        float padded[4] {};
        std::memcpy (padded, p, sizeof (float) * (size_t) (count > 0 ? count : 0));
        return load (padded);
    }

    /** Stores the first count (0 … 4) lanes. */
    void storePartial (float* p, int count) const noexcept
    {
        if (count >= 4)
            return store (p);

        float lanes[4];
        store (lanes);
        std::memcpy (p, lanes, sizeof (float) * (size_t) (count > 0 ? count : 0));
    }
};
