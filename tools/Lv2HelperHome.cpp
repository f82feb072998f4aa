// Linked into the framework's LV2 Turtle dump program, which runs after every link of the LV2
// bundle: it loads the plug-in and opens its editor once, and so would create Ostrel's per-user
// folders and preferences file in the home folder of whoever builds. Before the program starts,
// this points HOME at a scratch folder of the build tree instead.

#include <cstdlib>

namespace
{
const bool homeRedirected = ::setenv ("HOME", OSTREL_LV2_HELPER_HOME, 1) == 0;
} // namespace
