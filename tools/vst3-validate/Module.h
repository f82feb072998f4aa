#pragma once

#include <pluginterfaces/base/ipluginbase.h>

#include <memory>
#include <string>

/** A loaded VST3 module: the shared library of a bundle, entered through the Linux module
    convention (ModuleEntry after loading, ModuleExit before unloading) with its factory.
*/
class PluginModule
{
public:
    /** Loads the module of a bundle (or a shared library given directly). Returns nullptr and
        describes the problem in error when any step fails; nothing stays loaded then.
    */
    static std::unique_ptr<PluginModule> load (const std::string& path, std::string& error);

    /** Releases the factory, calls ModuleExit and unloads the library. */
    ~PluginModule();

    /** Unloads now and returns whether ModuleExit reported success. */
    bool unload();

    Steinberg::IPluginFactory* getFactory() const noexcept { return factory; }
    const std::string& getLibraryPath() const noexcept { return libraryPath; }

    /** The shared library inside a bundle: <bundle>/Contents/<arch>-linux/<name>.so. */
    static std::string libraryPathForBundle (const std::string& bundlePath);

    PluginModule (const PluginModule&) = delete;
    PluginModule& operator= (const PluginModule&) = delete;

private:
    PluginModule() = default;

    void* handle = nullptr;
    Steinberg::IPluginFactory* factory = nullptr;
    bool (*moduleExit)() = nullptr;
    std::string libraryPath;
};
