#include "Module.h"

#include <dlfcn.h>
#include <sys/stat.h>
#include <sys/utsname.h>

namespace
{
using ModuleEntryFunction = bool (*) (void*);
using ModuleExitFunction = bool (*)();
using GetFactoryFunction = Steinberg::IPluginFactory* (*) ();

bool isDirectory (const std::string& path)
{
    struct stat info
    {
    };
    return stat (path.c_str(), &info) == 0 && S_ISDIR (info.st_mode);
}

std::string architectureFolder()
{
    utsname names {};
    std::string machine = uname (&names) == 0 ? names.machine : "x86_64";

    if (machine == "i686" || machine == "i586")
        machine = "i386";

    return machine + "-linux";
}

template <typename Function>
Function findSymbol (void* handle, const char* name)
{
    return reinterpret_cast<Function> (dlsym (handle, name));
}
} // namespace

std::string PluginModule::libraryPathForBundle (const std::string& bundlePath)
{
    if (! isDirectory (bundlePath))
        return bundlePath;

    auto path = bundlePath;

    while (path.size() > 1 && path.back() == '/')
        path.pop_back();

    auto name = path.substr (path.find_last_of ('/') + 1);
    const std::string suffix = ".vst3";

    if (name.size() > suffix.size() && name.compare (name.size() - suffix.size(), suffix.size(), suffix) == 0)
        name.resize (name.size() - suffix.size());

    return path + "/Contents/" + architectureFolder() + "/" + name + ".so";
}

std::unique_ptr<PluginModule> PluginModule::load (const std::string& path, std::string& error)
{
    std::unique_ptr<PluginModule> module (new PluginModule());
    module->libraryPath = libraryPathForBundle (path);

    module->handle = dlopen (module->libraryPath.c_str(), RTLD_LAZY | RTLD_LOCAL);

    if (module->handle == nullptr)
    {
        error = "dlopen failed: " + std::string (dlerror());
        return nullptr;
    }

    const auto entry = findSymbol<ModuleEntryFunction> (module->handle, "ModuleEntry");
    module->moduleExit = findSymbol<ModuleExitFunction> (module->handle, "ModuleExit");
    const auto getFactory = findSymbol<GetFactoryFunction> (module->handle, "GetPluginFactory");

    if (entry == nullptr || module->moduleExit == nullptr || getFactory == nullptr)
    {
        error = "the module does not export ModuleEntry, ModuleExit and GetPluginFactory";
        module->moduleExit = nullptr;
        module->unload();
        return nullptr;
    }

    if (! entry (module->handle))
    {
        error = "ModuleEntry returned false";
        module->moduleExit = nullptr;
        module->unload();
        return nullptr;
    }

    module->factory = getFactory();

    if (module->factory == nullptr)
    {
        error = "GetPluginFactory returned nullptr";
        module->unload();
        return nullptr;
    }

    return module;
}

bool PluginModule::unload()
{
    if (factory != nullptr)
        factory->release();

    factory = nullptr;
    bool exitOk = true;

    if (moduleExit != nullptr)
        exitOk = moduleExit();

    moduleExit = nullptr;

    if (handle != nullptr)
        dlclose (handle);

    handle = nullptr;
    return exitOk;
}

PluginModule::~PluginModule() { unload(); }
