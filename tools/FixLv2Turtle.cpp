#include "Lv2Turtle.h"

#include <fstream>
#include <iostream>
#include <sstream>

// Post-build step of the LV2 bundle: corrects the generated dsp.ttl in place (see Lv2Turtle.h).
int main (int argc, char** argv)
{
    if (argc != 2)
    {
        std::cerr << "usage: " << argv[0] << " path/to/dsp.ttl\n";
        return 2;
    }

    const std::string path = argv[1];
    std::ifstream in (path, std::ios::binary);

    if (! in)
    {
        std::cerr << path << ": cannot be read\n";
        return 1;
    }

    std::ostringstream text;
    text << in.rdbuf();
    in.close();

    const auto scalePoints = correctLv2ScalePoints (text.str());

    if (! scalePoints.error.empty())
    {
        std::cerr << path << ": " << scalePoints.error << '\n';
        return 1;
    }

    const auto result = removeEmptyLv2Mailbox (scalePoints.turtle);

    if (scalePoints.corrections + result.corrections == 0)
        return 0;

    std::ofstream out (path, std::ios::binary | std::ios::trunc);
    out << result.turtle;
    out.close();

    if (! out)
    {
        std::cerr << path << ": cannot be written\n";
        return 1;
    }

    std::cout << path << ": corrected the scale points of " << scalePoints.corrections << " parameter(s), removed "
              << result.corrections << " empty mailbox(es)\n";
    return 0;
}
