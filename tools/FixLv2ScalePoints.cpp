#include "Lv2ScalePoints.h"

#include <fstream>
#include <iostream>
#include <sstream>

// Post-build step of the LV2 bundle: corrects the scale points of the generated dsp.ttl in place.
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

    const auto result = correctLv2ScalePoints (text.str());

    if (! result.error.empty())
    {
        std::cerr << path << ": " << result.error << '\n';
        return 1;
    }

    if (result.correctedParameters == 0)
        return 0;

    std::ofstream out (path, std::ios::binary | std::ios::trunc);
    out << result.turtle;
    out.close();

    if (! out)
    {
        std::cerr << path << ": cannot be written\n";
        return 1;
    }

    std::cout << path << ": corrected the scale points of " << result.correctedParameters << " parameter(s)\n";
    return 0;
}
