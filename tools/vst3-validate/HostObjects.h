#pragma once

#include <pluginterfaces/gui/iplugview.h>
#include <pluginterfaces/vst/ivsteditcontroller.h>
#include <pluginterfaces/vst/ivstevents.h>
#include <pluginterfaces/vst/ivstparameterchanges.h>
#include <public.sdk/source/vst/hosting/hostclasses.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <set>
#include <string>
#include <vector>

// Host objects handed to the plug-in. They belong to the validator and outlive every plug-in
// object that could hold them, so their reference counts are fixed.
#define VALIDATOR_HOST_OWNED_REFCOUNT                                                                                  \
    Steinberg::uint32 PLUGIN_API addRef() override { return 1; }                                                       \
    Steinberg::uint32 PLUGIN_API release() override { return 1; }

/** Converts a UTF-16 string of the SDK to UTF-8. */
std::string toUtf8 (const Steinberg::Vst::TChar* text);

/** The host context passed to initialize: the SDK's host application under this tool's name,
    which also answers for IPlugInterfaceSupport.
*/
class ValidatorHost : public Steinberg::Vst::HostApplication
{
public:
    Steinberg::tresult PLUGIN_API getName (Steinberg::Vst::String128 name) override;
    Steinberg::tresult PLUGIN_API queryInterface (const Steinberg::TUID requested, void** obj) override;
};

/** Receives the plug-in's edits and restart requests. The plug-in may call it from any thread,
    so everything it records is atomic or locked.
*/
class ComponentHandler : public Steinberg::Vst::IComponentHandler, public Steinberg::Vst::IComponentHandler2
{
public:
    /** The parameters the plug-in may edit; edits of other IDs are recorded as problems. */
    void setKnownParameters (const std::vector<Steinberg::Vst::ParamID>& ids);

    Steinberg::tresult PLUGIN_API beginEdit (Steinberg::Vst::ParamID id) override;
    Steinberg::tresult PLUGIN_API performEdit (Steinberg::Vst::ParamID id, Steinberg::Vst::ParamValue value) override;
    Steinberg::tresult PLUGIN_API endEdit (Steinberg::Vst::ParamID id) override;
    Steinberg::tresult PLUGIN_API restartComponent (Steinberg::int32 flags) override;

    Steinberg::tresult PLUGIN_API setDirty (Steinberg::TBool) override { return Steinberg::kResultOk; }
    Steinberg::tresult PLUGIN_API requestOpenEditor (Steinberg::FIDString) override { return Steinberg::kResultFalse; }
    Steinberg::tresult PLUGIN_API startGroupEdit() override { return Steinberg::kResultOk; }
    Steinberg::tresult PLUGIN_API finishGroupEdit() override { return Steinberg::kResultOk; }

    Steinberg::tresult PLUGIN_API queryInterface (const Steinberg::TUID requested, void** obj) override;
    VALIDATOR_HOST_OWNED_REFCOUNT

    /** Returns the restart flags signalled since the last call and clears them. */
    Steinberg::int32 takeRestartFlags() { return restartFlags.exchange (0); }

    /** Returns the problems recorded since the last call and clears them. */
    std::vector<std::string> takeProblems();

private:
    void addProblem (std::string problem);

    std::atomic<Steinberg::int32> restartFlags { 0 };
    std::mutex lock;
    std::set<Steinberg::Vst::ParamID> knownParameters;
    std::vector<std::string> problems;
};

/** One parameter's automation points for one block. */
class ParamValueQueue : public Steinberg::Vst::IParamValueQueue
{
public:
    ParamValueQueue();

    void reset (Steinberg::Vst::ParamID id);

    Steinberg::Vst::ParamID PLUGIN_API getParameterId() override { return parameterId; }
    Steinberg::int32 PLUGIN_API getPointCount() override { return (Steinberg::int32) points.size(); }
    Steinberg::tresult PLUGIN_API getPoint (Steinberg::int32 index, Steinberg::int32& sampleOffset,
                                            Steinberg::Vst::ParamValue& value) override;
    Steinberg::tresult PLUGIN_API addPoint (Steinberg::int32 sampleOffset, Steinberg::Vst::ParamValue value,
                                            Steinberg::int32& index) override;

    Steinberg::tresult PLUGIN_API queryInterface (const Steinberg::TUID requested, void** obj) override;
    VALIDATOR_HOST_OWNED_REFCOUNT

    static constexpr std::size_t maxPoints = 64;

private:
    struct Point
    {
        Steinberg::int32 offset;
        Steinberg::Vst::ParamValue value;
    };

    Steinberg::Vst::ParamID parameterId = 0;
    std::vector<Point> points;
};

/** The parameter changes of one block, with room for every parameter the plug-in has. */
class ParameterChanges : public Steinberg::Vst::IParameterChanges
{
public:
    explicit ParameterChanges (std::size_t capacity);

    void clear() { used = 0; }

    Steinberg::int32 PLUGIN_API getParameterCount() override { return (Steinberg::int32) used; }
    Steinberg::Vst::IParamValueQueue* PLUGIN_API getParameterData (Steinberg::int32 index) override;
    Steinberg::Vst::IParamValueQueue* PLUGIN_API addParameterData (const Steinberg::Vst::ParamID& id,
                                                                   Steinberg::int32& index) override;

    Steinberg::tresult PLUGIN_API queryInterface (const Steinberg::TUID requested, void** obj) override;
    VALIDATOR_HOST_OWNED_REFCOUNT

private:
    std::vector<ParamValueQueue> queues;
    std::size_t used = 0;
};

/** An event list that carries no events in and accepts a bounded number out. */
class EventList : public Steinberg::Vst::IEventList
{
public:
    EventList();

    void clear() { events.clear(); }

    Steinberg::int32 PLUGIN_API getEventCount() override { return (Steinberg::int32) events.size(); }
    Steinberg::tresult PLUGIN_API getEvent (Steinberg::int32 index, Steinberg::Vst::Event& e) override;
    Steinberg::tresult PLUGIN_API addEvent (Steinberg::Vst::Event& e) override;

    Steinberg::tresult PLUGIN_API queryInterface (const Steinberg::TUID requested, void** obj) override;
    VALIDATOR_HOST_OWNED_REFCOUNT

private:
    std::vector<Steinberg::Vst::Event> events;
};

/** The host's run loop on Linux. The plug-in registers file descriptors and timers; pump()
    serves them by polling, which is what a host's event loop does between its own work.
*/
class RunLoop : public Steinberg::Linux::IRunLoop
{
public:
    Steinberg::tresult PLUGIN_API registerEventHandler (Steinberg::Linux::IEventHandler* handler,
                                                        Steinberg::Linux::FileDescriptor fd) override;
    Steinberg::tresult PLUGIN_API unregisterEventHandler (Steinberg::Linux::IEventHandler* handler) override;
    Steinberg::tresult PLUGIN_API registerTimer (Steinberg::Linux::ITimerHandler* handler,
                                                 Steinberg::Linux::TimerInterval milliseconds) override;
    Steinberg::tresult PLUGIN_API unregisterTimer (Steinberg::Linux::ITimerHandler* handler) override;

    Steinberg::tresult PLUGIN_API queryInterface (const Steinberg::TUID requested, void** obj) override;
    VALIDATOR_HOST_OWNED_REFCOUNT

    /** Serves registered descriptors and timers for the given time. */
    void pump (std::chrono::milliseconds duration);

    /** Serves them until the condition holds or the time is up; returns the condition. */
    bool pumpUntil (const std::function<bool()>& condition, std::chrono::milliseconds timeout);

    std::size_t numEventHandlers() const { return eventHandlers.size(); }
    std::size_t numTimers() const { return timers.size(); }

private:
    void serveOnce (int maxWaitMs);

    struct EventHandlerEntry
    {
        Steinberg::Linux::IEventHandler* handler;
        Steinberg::Linux::FileDescriptor fd;
    };

    struct TimerEntry
    {
        Steinberg::Linux::ITimerHandler* handler;
        std::chrono::milliseconds interval;
        std::chrono::steady_clock::time_point due;
    };

    std::vector<EventHandlerEntry> eventHandlers;
    std::vector<TimerEntry> timers;
};

/** The frame a plug-in view lives in. It offers the run loop and answers resize requests by
    resizing the host window (through the callback) and telling the view its new size.
*/
class PlugFrame : public Steinberg::IPlugFrame
{
public:
    explicit PlugFrame (RunLoop& loop) : runLoop (loop) {}

    Steinberg::tresult PLUGIN_API resizeView (Steinberg::IPlugView* view, Steinberg::ViewRect* newSize) override;

    Steinberg::tresult PLUGIN_API queryInterface (const Steinberg::TUID requested, void** obj) override;
    VALIDATOR_HOST_OWNED_REFCOUNT

    std::function<void (int width, int height)> onResize;
    int numResizeRequests = 0;
    int numBadResizeRequests = 0;

private:
    RunLoop& runLoop;
};
