#include "Checks.h"
#include "Instance.h"
#include "Report.h"

#include <cstring>
#include <set>
#include <sys/stat.h>

using namespace Steinberg;

namespace
{
std::string uidText (const TUID uid)
{
    static const char* digits = "0123456789ABCDEF";
    std::string text;

    for (int i = 0; i < 16; ++i)
    {
        text += digits[((unsigned char) uid[i]) >> 4];
        text += digits[((unsigned char) uid[i]) & 15];
    }

    return text;
}

void expectText (const std::string& what, const std::string& actual, const std::string& expected)
{
    if (! expected.empty())
        report::expect (actual == expected, what + " is \"" + actual + "\", expected \"" + expected + "\"");
}

void checkFactoryInfo (IPluginFactory& factory, const Options& options)
{
    report::setStep ("factory info");
    PFactoryInfo info {};

    if (! report::expect (factory.getFactoryInfo (&info) == kResultOk, "getFactoryInfo failed"))
        return;

    report::info (std::string ("vendor \"") + info.vendor + "\", url \"" + info.url + "\", email \"" + info.email
                  + "\"");
    report::expect (std::strlen (info.vendor) > 0, "the factory names no vendor");
    expectText ("the factory's vendor", info.vendor, options.vendor);
    expectText ("the factory's URL", info.url, options.url);
}

void checkClasses (IPluginFactory& factory, const Options& options)
{
    report::setStep ("class infos");
    const auto count = factory.countClasses();

    if (! report::expect (count > 0, "the factory has no classes"))
        return;

    FUnknownPtr<IPluginFactory2> factory2 (&factory);
    FUnknownPtr<IPluginFactory3> factory3 (&factory);
    report::expect (factory2 != nullptr, "the factory does not implement IPluginFactory2 (categories, versions)");

    std::set<std::string> ids;
    int audioClasses = 0, controllerClasses = 0;

    for (int32 i = 0; i < count; ++i)
    {
        PClassInfo info {};

        if (! report::expect (factory.getClassInfo (i, &info) == kResultOk,
                              "getClassInfo " + std::to_string (i) + " failed"))
            continue;

        const std::string category = info.category;
        report::info ("class " + std::to_string (i) + ": \"" + info.name + "\", " + category + ", "
                      + uidText (info.cid));
        report::expect (ids.insert (uidText (info.cid)).second, "class " + std::to_string (i) + " repeats a class ID");
        report::expect (std::strlen (info.name) > 0, "class " + std::to_string (i) + " has no name");

        const bool isAudio = category == kVstAudioEffectClass;
        audioClasses += isAudio ? 1 : 0;
        controllerClasses += category == kVstComponentControllerClass ? 1 : 0;

        if (factory2 != nullptr)
        {
            PClassInfo2 info2 {};

            if (report::expect (factory2->getClassInfo2 (i, &info2) == kResultOk,
                                "getClassInfo2 " + std::to_string (i) + " failed"))
            {
                report::expect (std::memcmp (info2.cid, info.cid, sizeof (TUID)) == 0 && category == info2.category
                                    && std::strcmp (info.name, info2.name) == 0,
                                "getClassInfo2 " + std::to_string (i) + " disagrees with getClassInfo");
                report::expect (std::strncmp (info2.sdkVersion, "VST 3", 5) == 0,
                                "class " + std::to_string (i) + " names SDK version \"" + info2.sdkVersion + "\"");

                if (isAudio)
                {
                    report::info (std::string ("audio class: sub-categories \"") + info2.subCategories + "\", vendor \""
                                  + info2.vendor + "\", version \"" + info2.version + "\", " + info2.sdkVersion);
                    expectText ("the audio class's name", info2.name, options.name);
                    expectText ("the audio class's version", info2.version, options.version);
                    expectText ("the audio class's sub-categories", info2.subCategories, options.subCategories);
                    expectText ("the audio class's vendor", info2.vendor, options.vendor);
                    report::expect (std::strncmp (info2.subCategories, "Fx", 2) == 0
                                        || std::strncmp (info2.subCategories, "Instrument", 10) == 0
                                        || std::strcmp (info2.subCategories, "Spatial") == 0
                                        || std::strncmp (info2.subCategories, "Analyzer", 8) == 0,
                                    std::string ("the audio class's sub-categories \"") + info2.subCategories
                                        + "\" start with no main category");
                }
            }
        }

        if (factory3 != nullptr)
        {
            PClassInfoW infoW {};

            if (report::expect (factory3->getClassInfoUnicode (i, &infoW) == kResultOk,
                                "getClassInfoUnicode " + std::to_string (i) + " failed"))
                report::expect (toUtf8 (infoW.name) == info.name, "getClassInfoUnicode " + std::to_string (i)
                                                                      + " gives another name: \"" + toUtf8 (infoW.name)
                                                                      + "\"");
        }
    }

    report::expect (audioClasses >= 1, std::string ("no class of category \"") + kVstAudioEffectClass + "\"");
    report::expect (controllerClasses >= 1,
                    std::string ("no class of category \"") + kVstComponentControllerClass + "\"");

    report::setStep ("createInstance with invalid IDs");
    const TUID unknownId = { 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16 };
    void* object = &factory;
    report::expect (factory.createInstance (unknownId, Vst::IComponent::iid, &object) != kResultOk && object == nullptr,
                    "createInstance of an unknown class ID did not fail with a null object");

    PClassInfo audio {};

    if (findClass (factory, kVstAudioEffectClass, audio))
    {
        object = &factory;
        const auto result = factory.createInstance (audio.cid, unknownId, &object);
        report::expect (result != kResultOk && object == nullptr,
                        "createInstance of the audio class for an unknown interface did not fail with a null object");

        if (result == kResultOk && object != nullptr)
            static_cast<FUnknown*> (object)->release();
    }
}

void checkFactoryHostContext (IPluginFactory& factory, Vst::IHostApplication& host)
{
    report::setStep ("IPluginFactory3::setHostContext");

    if (FUnknownPtr<IPluginFactory3> factory3 (&factory); factory3 != nullptr)
    {
        const auto result = factory3->setHostContext (&host);
        report::expect (result == kResultOk || result == kNotImplemented, "setHostContext failed");
    }
}
} // namespace

std::unique_ptr<PluginModule> loadModuleForCheck (const Options& options)
{
    report::setStep ("load");
    std::string error;
    auto module = PluginModule::load (options.bundlePath, error);
    report::expect (module != nullptr, "loading failed: " + error);
    return module;
}

void checkModule (const Options& options)
{
    report::setStep ("bundle layout");
    const auto library = PluginModule::libraryPathForBundle (options.bundlePath);
    struct stat info
    {
    };
    report::expect (stat (library.c_str(), &info) == 0 && S_ISREG (info.st_mode),
                    "the bundle holds no library at " + library);

    report::setStep ("load, ModuleEntry, GetPluginFactory");
    std::string error;
    auto module = PluginModule::load (options.bundlePath, error);

    if (! report::expect (module != nullptr, "loading failed: " + error))
        return;

    ValidatorHost host;
    checkFactoryInfo (*module->getFactory(), options);
    checkClasses (*module->getFactory(), options);
    checkFactoryHostContext (*module->getFactory(), host);

    report::setStep ("ModuleExit and unload");
    report::expect (module->unload(), "ModuleExit returned false");
    module.reset();

    // Hosts scan, load and unload modules many times in one process.
    const auto cycles = options.iterations (2);

    for (int cycle = 0; cycle < cycles; ++cycle)
    {
        report::setStep ("load/unload cycle " + std::to_string (cycle + 1) + " of " + std::to_string (cycles));
        auto again = PluginModule::load (options.bundlePath, error);

        if (! report::expect (again != nullptr, "loading failed: " + error))
            return;

        // Every other cycle also creates an instance before unloading.
        if (cycle % 2 == 1)
        {
            PluginInstance instance (*again->getFactory(), &host);
            report::expect (instance.isValid(), "creating an instance failed");
        }

        report::expect (again->unload(), "ModuleExit returned false");
    }
}
