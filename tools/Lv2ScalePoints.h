#pragma once

#include <string>

/** Corrects the scale points of the LV2 parameters in a Turtle description written by the
    framework's LV2 wrapper.

    The wrapper declares each discrete parameter with its range in the parameter's own units
    (a choice of n items is 0 … n−1) but publishes the scale points with normalised values
    i/(n−1). A host that offers the labels then sends a normalised value, which the plug-in
    reads in the declared units: choosing the last of four items gives the second. Each scale
    point i of such a parameter is rewritten to minimum + i × (maximum − minimum)/(n−1), the
    value that the plug-in maps back to item i.

    Parameters whose scale points already follow their range are left as they are, so running
    the correction twice changes nothing.
*/
struct Lv2ScalePointResult
{
    std::string turtle;          // the corrected description
    int correctedParameters = 0; // how many parameters had their scale points rewritten
    std::string error;           // empty on success; names the parameter that could not be read
};

Lv2ScalePointResult correctLv2ScalePoints (const std::string& turtle);
