#pragma once

#include <string>

/** Corrections of the Turtle description that the framework's LV2 wrapper writes into the bundle. */
struct Lv2TurtleResult
{
    std::string turtle;  // the corrected description
    int corrections = 0; // how many statements were rewritten
    std::string error;   // empty on success; names the statement that could not be read
};

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
Lv2TurtleResult correctLv2ScalePoints (const std::string& turtle);

/** Removes empty mailbox entries (`foaf:mbox <>`). The wrapper writes one when the maker has no
    e-mail address, and the empty relative URI then names the description file itself as the
    maker's mailbox.
*/
Lv2TurtleResult removeEmptyLv2Mailbox (const std::string& turtle);
