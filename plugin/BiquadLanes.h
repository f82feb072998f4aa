#pragma once

#include "Float4.h"

/** Four independent second-order IIR sections, one per lane, in transposed direct form II.

    Each lane computes what juce::dsp::IIR::Filter<float>::processSample computes for the same
    normalised coefficients (b0, b1, b2, a1, a2), operation for operation, so its output is the
    same bit for bit. Unlike the framework's block processing, nothing is snapped to zero.
*/
struct BiquadLanes
{
    Float4 b0, b1, b2, a1, a2;
    Float4 s0, s1;

    /** Sets the coefficients of each lane from a normalised coefficient array
        { b0, b1, b2, a1, a2 } (the layout of the framework's raw biquad coefficients), and
        clears the state.
    */
    void setCoefficients (const float* lane0, const float* lane1, const float* lane2, const float* lane3) noexcept
    {
        const float* lanes[4] = { lane0, lane1, lane2, lane3 };
        Float4* targets[5] = { &b0, &b1, &b2, &a1, &a2 };

        for (int k = 0; k < 5; ++k)
        {
            float values[4];
            for (int lane = 0; lane < 4; ++lane)
                values[lane] = lanes[lane][k];
            *targets[k] = Float4::load (values);
        }

        reset();
    }

    void reset() noexcept { s0 = s1 = Float4::zero(); }

    /** Processes one sample per lane. */
    Float4 step (Float4 x) noexcept
    {
        const Float4 y = b0 * x + s0;
        s0 = (b1 * x - a1 * y) + s1;
        s1 = b2 * x - a2 * y;
        return y;
    }
};
