// vst3-validate: loads a VST3 bundle the way a host does and checks that it behaves.
//
// Every check group runs in a child process, so a crash or hang is reported as a failure of the
// step it happened in instead of ending the validation. The exit status is 0 when every check
// passed, 1 when one failed and 2 on a usage error.

#include "Checks.h"
#include "Report.h"

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/mman.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace
{
constexpr std::size_t stepBufferSize = 512;

void printUsage()
{
    std::printf ("usage: vst3-validate [options] <bundle.vst3>\n"
                 "  --strictness N          1 (quick) ... 10 (everything, many iterations); default 5\n"
                 "  --seed N                seed of the random signals and automation; default 1\n"
                 "  --vendor TEXT           expected vendor of the factory and the audio class\n"
                 "  --url TEXT              expected vendor URL\n"
                 "  --name TEXT             expected name of the audio class\n"
                 "  --version TEXT          expected version of the audio class\n"
                 "  --subcategories TEXT    expected sub-categories of the audio class (e.g. Fx|Dynamics)\n"
                 "  --latency-parameter T   title of a parameter whose values must change the latency\n"
                 "  --require-editor        fail when the controller offers no editor view\n"
                 "  --output-bound X        largest accepted |output sample|; default 32\n"
                 "  --group NAME            run one check group only: module, instance, processing, state,\n"
                 "                          latency or editor\n"
                 "  --verbose               print every step\n");
}

bool parseArguments (int argc, char** argv, Options& options)
{
    for (int i = 1; i < argc; ++i)
    {
        const std::string arg = argv[i];
        const auto value = [&]() -> const char*
        {
            if (i + 1 >= argc)
                return nullptr;

            return argv[++i];
        };

        const auto takeText = [&] (std::string& target)
        {
            const auto* v = value();

            if (v != nullptr)
                target = v;

            return v != nullptr;
        };

        if (arg == "--strictness")
        {
            const auto* v = value();

            if (v == nullptr)
                return false;

            options.strictness = std::atoi (v);

            if (options.strictness < 1 || options.strictness > 10)
                return false;
        }
        else if (arg == "--seed")
        {
            const auto* v = value();

            if (v == nullptr)
                return false;

            options.seed = (std::uint32_t) std::strtoul (v, nullptr, 10);
        }
        else if (arg == "--output-bound")
        {
            const auto* v = value();

            if (v == nullptr || std::atof (v) <= 0.0)
                return false;

            options.outputBound = std::atof (v);
        }
        else if (arg == "--vendor")
        {
            if (! takeText (options.vendor))
                return false;
        }
        else if (arg == "--url")
        {
            if (! takeText (options.url))
                return false;
        }
        else if (arg == "--name")
        {
            if (! takeText (options.name))
                return false;
        }
        else if (arg == "--version")
        {
            if (! takeText (options.version))
                return false;
        }
        else if (arg == "--subcategories")
        {
            if (! takeText (options.subCategories))
                return false;
        }
        else if (arg == "--latency-parameter")
        {
            if (! takeText (options.latencyParameter))
                return false;
        }
        else if (arg == "--group")
        {
            if (! takeText (options.group))
                return false;
        }
        else if (arg == "--require-editor")
            options.requireEditor = true;
        else if (arg == "--verbose")
            options.verbose = true;
        else if (! arg.empty() && arg[0] == '-')
            return false;
        else if (options.bundlePath.empty())
            options.bundlePath = arg;
        else
            return false;
    }

    return ! options.bundlePath.empty();
}

struct Group
{
    const char* id;
    const char* name;
    void (*run) (const Options&);
    int timeoutSeconds;
};

/** Runs one group in a child process; returns whether it passed. */
bool runGroup (const Group& group, const Options& options)
{
    std::printf ("%s\n", group.name);
    std::fflush (stdout);

    auto* step =
        static_cast<char*> (mmap (nullptr, stepBufferSize, PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0));

    if (step == MAP_FAILED)
    {
        std::printf ("  FAIL cannot map shared memory\n");
        return false;
    }

    step[0] = '\0';
    const auto start = std::chrono::steady_clock::now();
    const pid_t child = fork();

    if (child == 0)
    {
        report::useSharedStepBuffer (step, stepBufferSize);
        report::setVerbose (options.verbose);
        group.run (options);
        std::fflush (stdout);
        _exit (report::failureCount() == 0 ? 0 : 1);
    }

    if (child < 0)
    {
        std::printf ("  FAIL fork failed\n");
        munmap (step, stepBufferSize);
        return false;
    }

    int status = 0;
    bool timedOut = false;

    while (waitpid (child, &status, WNOHANG) == 0)
    {
        if (std::chrono::steady_clock::now() - start > std::chrono::seconds (group.timeoutSeconds))
        {
            kill (child, SIGKILL);
            waitpid (child, &status, 0);
            timedOut = true;
            break;
        }

        std::this_thread::sleep_for (std::chrono::milliseconds (5));
    }

    const auto seconds = std::chrono::duration<double> (std::chrono::steady_clock::now() - start).count();
    const std::string lastStep (step);
    munmap (step, stepBufferSize);

    bool passed = false;

    if (timedOut)
        std::printf ("  FAIL hung (no end after %d s) during: %s\n", group.timeoutSeconds, lastStep.c_str());
    else if (WIFSIGNALED (status))
        std::printf ("  FAIL crashed (signal %d, %s) during: %s\n", WTERMSIG (status), strsignal (WTERMSIG (status)),
                     lastStep.c_str());
    else
        passed = WIFEXITED (status) && WEXITSTATUS (status) == 0;

    std::printf ("  %s (%.2f s)\n", passed ? "passed" : "FAILED", seconds);
    std::fflush (stdout);
    return passed;
}
} // namespace

int main (int argc, char** argv)
{
    Options options;

    if (! parseArguments (argc, argv, options))
    {
        printUsage();
        return 2;
    }

    std::printf ("vst3-validate: %s, strictness %d, seed %u\n", options.bundlePath.c_str(), options.strictness,
                 options.seed);

    // Generous limits (a full run at strictness 10 takes seconds per group): they only end a group
    // that no longer makes progress, and together stay below the CTest time-out.
    const Group groups[] = {
        { "module", "module: loading, factory and classes", checkModule, 60 },
        { "instance", "instance: set-up, parameters, programs and buses", checkInstance, 60 },
        { "processing", "processing: sample rates, block sizes, signals and automation", checkProcessing, 240 },
        { "state", "state: save, restore and rejected garbage", checkState, 60 },
        { "latency", "latency: changes reported through the component handler", checkLatency, 60 },
        { "editor", "editor: view creation, attaching and removing", checkEditor, 60 },
    };

    int failedGroups = 0, ranGroups = 0;

    for (const auto& group : groups)
    {
        if (! options.group.empty() && options.group != group.id)
            continue;

        ++ranGroups;

        if (! runGroup (group, options))
            ++failedGroups;
    }

    if (ranGroups == 0)
    {
        printUsage();
        return 2;
    }

    if (failedGroups == 0)
        std::printf ("All checks passed.\n");
    else
        std::printf ("%d of %d check groups failed.\n", failedGroups, ranGroups);

    return failedGroups == 0 ? 0 : 1;
}
