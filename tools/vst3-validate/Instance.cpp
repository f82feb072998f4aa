#include "Instance.h"

#include "Report.h"

#include <public.sdk/source/common/memorystream.h>

#include <cmath>
#include <cstring>

using namespace Steinberg;

bool findClass (IPluginFactory& factory, const char* category, PClassInfo& info)
{
    for (int32 i = 0; i < factory.countClasses(); ++i)
        if (factory.getClassInfo (i, &info) == kResultOk && std::strcmp (info.category, category) == 0)
            return true;

    return false;
}

double snapToStep (double normalized, int32 stepCount)
{
    return stepCount > 0 ? std::round (normalized * stepCount) / stepCount : normalized;
}

std::string describeParameter (const Vst::ParameterInfo& info)
{
    return "parameter " + std::to_string (info.id) + " \"" + toUtf8 (info.title) + "\"";
}

PluginInstance::PluginInstance (IPluginFactory& factory, FUnknown* hostContext)
{
    PClassInfo audioClass {};

    if (! report::expect (findClass (factory, kVstAudioEffectClass, audioClass),
                          "the factory has no audio module class"))
        return;

    Vst::IComponent* createdComponent = nullptr;

    if (factory.createInstance (audioClass.cid, Vst::IComponent::iid, (void**) &createdComponent) != kResultOk
        || createdComponent == nullptr)
    {
        report::fail ("createInstance of the audio module class as IComponent failed");
        return;
    }

    IPtr<Vst::IComponent> newComponent = owned (createdComponent);

    if (newComponent->initialize (hostContext) != kResultOk)
    {
        report::fail ("IComponent::initialize failed");
        return;
    }

    component = newComponent;
    processor = FUnknownPtr<Vst::IAudioProcessor> (component);

    if (! report::expect (processor != nullptr, "the component does not implement IAudioProcessor"))
        return;

    // A plug-in whose component is its own controller needs no second object.
    if (FUnknownPtr<Vst::IEditController> single (component); single != nullptr)
    {
        controller = single;
    }
    else
    {
        TUID controllerId {};

        if (! report::expect (component->getControllerClassId (controllerId) == kResultOk,
                              "the component names no controller class"))
            return;

        Vst::IEditController* createdController = nullptr;

        if (factory.createInstance (controllerId, Vst::IEditController::iid, (void**) &createdController) != kResultOk
            || createdController == nullptr)
        {
            report::fail ("createInstance of the controller class the component names failed");
            return;
        }

        IPtr<Vst::IEditController> newController = owned (createdController);

        if (newController->initialize (hostContext) != kResultOk)
        {
            report::fail ("IEditController::initialize failed");
            return;
        }

        controller = newController;
        separateController = true;

        componentConnection = FUnknownPtr<Vst::IConnectionPoint> (component);
        controllerConnection = FUnknownPtr<Vst::IConnectionPoint> (controller);

        if (componentConnection != nullptr && controllerConnection != nullptr)
        {
            report::expect (componentConnection->connect (controllerConnection) == kResultOk,
                            "connecting the component to the controller failed");
            report::expect (controllerConnection->connect (componentConnection) == kResultOk,
                            "connecting the controller to the component failed");
        }
        else
        {
            componentConnection = nullptr;
            controllerConnection = nullptr;
        }

        // The host hands the controller the component's state before anything else.
        Bytes state;

        if (saveComponentState (state))
        {
            IPtr<MemoryStream> stream = owned (new MemoryStream (state.data(), (TSize) state.size()));
            const auto result = controller->setComponentState (stream);
            report::expect (result == kResultOk || result == kNotImplemented,
                            "the controller refused the component's initial state");
        }
    }

    report::expect (controller->setComponentHandler (&handler) == kResultOk, "setComponentHandler failed");

    // Hosts activate the buses they use before processing; here every main bus and every bus
    // that asks to be active by default.
    for (const auto direction : { Vst::kInput, Vst::kOutput })
    {
        for (int32 b = 0; b < component->getBusCount (Vst::kAudio, direction); ++b)
        {
            Vst::BusInfo info {};

            if (component->getBusInfo (Vst::kAudio, direction, b, info) == kResultOk
                && (info.busType == Vst::kMain || (info.flags & Vst::BusInfo::kDefaultActive) != 0))
                report::expect (component->activateBus (Vst::kAudio, direction, b, true) == kResultOk,
                                "activateBus failed for audio bus " + std::to_string (b));
        }
    }

    const auto count = controller->getParameterCount();
    std::vector<Vst::ParamID> ids;

    for (int32 i = 0; i < count; ++i)
    {
        Vst::ParameterInfo info {};

        if (report::expect (controller->getParameterInfo (i, info) == kResultOk,
                            "getParameterInfo failed for index " + std::to_string (i)))
        {
            parameters.push_back (info);
            ids.push_back (info.id);
        }
    }

    handler.setKnownParameters (ids);
}

PluginInstance::~PluginInstance()
{
    if (componentConnection != nullptr)
    {
        report::expect (componentConnection->disconnect (controllerConnection) == kResultOk,
                        "disconnecting the component failed");
        report::expect (controllerConnection->disconnect (componentConnection) == kResultOk,
                        "disconnecting the controller failed");
    }

    componentConnection = nullptr;
    controllerConnection = nullptr;

    if (controller != nullptr)
    {
        controller->setComponentHandler (nullptr);

        if (separateController)
            report::expect (controller->terminate() == kResultOk, "IEditController::terminate failed");
    }

    controller = nullptr;
    processor = nullptr;

    if (component != nullptr)
        report::expect (component->terminate() == kResultOk, "IComponent::terminate failed");

    component = nullptr;
    reportHandlerProblems();
}

const Vst::ParameterInfo* PluginInstance::findParameter (const std::string& title) const
{
    for (const auto& p : parameters)
        if (toUtf8 (p.title) == title)
            return &p;

    return nullptr;
}

const Vst::ParameterInfo* PluginInstance::findBypass() const
{
    for (const auto& p : parameters)
        if ((p.flags & Vst::ParameterInfo::kIsBypass) != 0)
            return &p;

    return nullptr;
}

bool PluginInstance::saveComponentState (Bytes& state)
{
    IPtr<MemoryStream> stream = owned (new MemoryStream());

    if (! report::expect (component->getState (stream) == kResultOk, "IComponent::getState failed"))
        return false;

    const auto* data = reinterpret_cast<const std::uint8_t*> (stream->getData());
    state.assign (data, data + stream->getSize());
    return true;
}

Bytes PluginInstance::saveControllerState()
{
    IPtr<MemoryStream> stream = owned (new MemoryStream());
    const auto result = controller->getState (stream);

    if (result != kResultOk && result != kNotImplemented)
        report::fail ("IEditController::getState failed");

    const auto* data = reinterpret_cast<const std::uint8_t*> (stream->getData());
    return { data, data + stream->getSize() };
}

tresult PluginInstance::loadComponentState (const Bytes& state, tresult* controllerResult)
{
    Bytes copy (state);
    IPtr<MemoryStream> forComponent = owned (new MemoryStream (copy.data(), (TSize) copy.size()));
    const auto result = component->setState (forComponent);

    if (separateController)
    {
        IPtr<MemoryStream> forController = owned (new MemoryStream (copy.data(), (TSize) copy.size()));
        const auto r = controller->setComponentState (forController);

        if (controllerResult != nullptr)
            *controllerResult = r;
    }

    return result;
}

std::vector<double> PluginInstance::readControllerValues()
{
    std::vector<double> values;

    for (const auto& p : parameters)
        values.push_back (controller->getParamNormalized (p.id));

    return values;
}

void PluginInstance::reportHandlerProblems()
{
    for (const auto& problem : handler.takeProblems())
        report::fail ("component handler: " + problem);
}
