#pragma once

#include "Checks.h"
#include "HostObjects.h"
#include "Module.h"

#include <pluginterfaces/base/smartpointer.h>
#include <pluginterfaces/vst/ivstaudioprocessor.h>
#include <pluginterfaces/vst/ivstcomponent.h>
#include <pluginterfaces/vst/ivsteditcontroller.h>
#include <pluginterfaces/vst/ivstmessage.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

using Bytes = std::vector<std::uint8_t>;

/** Finds the first class of the given category ("Audio Module Class", …). */
bool findClass (Steinberg::IPluginFactory& factory, const char* category, Steinberg::PClassInfo& info);

/** A plug-in instance set up the way a host does it: the component and its controller created
    and initialised with the host context, connected to each other, the controller given the
    component's state and the component handler. Problems are reported as failures.
*/
class PluginInstance
{
public:
    PluginInstance (Steinberg::IPluginFactory& factory, Steinberg::FUnknown* hostContext);

    /** Disconnects and terminates both parts, controller first. */
    ~PluginInstance();

    bool isValid() const noexcept { return processor != nullptr && controller != nullptr; }

    Steinberg::IPtr<Steinberg::Vst::IComponent> component;
    Steinberg::IPtr<Steinberg::Vst::IAudioProcessor> processor;
    Steinberg::IPtr<Steinberg::Vst::IEditController> controller;
    bool separateController = false;

    ComponentHandler handler;
    std::vector<Steinberg::Vst::ParameterInfo> parameters;

    /** The parameter with the given title, or nullptr. */
    const Steinberg::Vst::ParameterInfo* findParameter (const std::string& title) const;
    const Steinberg::Vst::ParameterInfo* findBypass() const;

    /** Saves the component's state; returns false (and reports) when getState fails. */
    bool saveComponentState (Bytes& state);
    Bytes saveControllerState();

    /** Gives a state to the component and then to the controller, as a host does on loading. */
    Steinberg::tresult loadComponentState (const Bytes& state, Steinberg::tresult* controllerResult = nullptr);

    /** The controller's normalised values of every parameter, in list order. */
    std::vector<double> readControllerValues();

    /** Reports the problems the component handler recorded. */
    void reportHandlerProblems();

private:
    Steinberg::IPtr<Steinberg::Vst::IConnectionPoint> componentConnection, controllerConnection;
};

/** The normalised value a stepped parameter snaps to: k / stepCount for the nearest k. */
double snapToStep (double normalized, Steinberg::int32 stepCount);

std::string describeParameter (const Steinberg::Vst::ParameterInfo& info);
