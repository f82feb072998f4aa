#include "HostObjects.h"

#include <pluginterfaces/vst/ivstpluginterfacesupport.h>

#include <algorithm>
#include <poll.h>
#include <thread>

using namespace Steinberg;

// The SDK sources compiled into this tool define the IIDs of the core and Vst interfaces; these
// are the view interfaces' IIDs, which no shipped source defines.
DEF_CLASS_IID (IPlugView)
DEF_CLASS_IID (IPlugFrame)

namespace Steinberg::Linux
{
DEF_CLASS_IID (IEventHandler)
DEF_CLASS_IID (ITimerHandler)
DEF_CLASS_IID (IRunLoop)
} // namespace Steinberg::Linux

namespace
{
/** Answers queryInterface for FUnknown and one interface. */
template <typename Interface>
tresult answerFor (Interface* self, const TUID requested, void** obj)
{
    if (FUnknownPrivate::iidEqual (requested, FUnknown::iid) || FUnknownPrivate::iidEqual (requested, Interface::iid))
    {
        *obj = self;
        return kResultOk;
    }

    *obj = nullptr;
    return kNoInterface;
}
} // namespace

std::string toUtf8 (const Vst::TChar* text)
{
    std::string result;

    for (; text != nullptr && *text != 0; ++text)
    {
        auto c = (uint32) (uint16) *text;

        // Surrogate pairs are combined into one code point.
        if (c >= 0xD800 && c < 0xDC00 && text[1] >= 0xDC00 && text[1] < 0xE000)
        {
            c = 0x10000 + ((c - 0xD800) << 10) + ((uint32) (uint16) text[1] - 0xDC00);
            ++text;
        }

        if (c < 0x80)
            result += (char) c;
        else if (c < 0x800)
        {
            result += (char) (0xC0 | (c >> 6));
            result += (char) (0x80 | (c & 0x3F));
        }
        else if (c < 0x10000)
        {
            result += (char) (0xE0 | (c >> 12));
            result += (char) (0x80 | ((c >> 6) & 0x3F));
            result += (char) (0x80 | (c & 0x3F));
        }
        else
        {
            result += (char) (0xF0 | (c >> 18));
            result += (char) (0x80 | ((c >> 12) & 0x3F));
            result += (char) (0x80 | ((c >> 6) & 0x3F));
            result += (char) (0x80 | (c & 0x3F));
        }
    }

    return result;
}

//==============================================================================
tresult PLUGIN_API ValidatorHost::getName (Vst::String128 name)
{
    const char* text = "vst3-validate";
    int i = 0;

    for (; text[i] != 0; ++i)
        name[i] = (Vst::TChar) text[i];

    name[i] = 0;
    return kResultOk;
}

tresult PLUGIN_API ValidatorHost::queryInterface (const TUID requested, void** obj)
{
    if (FUnknownPrivate::iidEqual (requested, FUnknown::iid)
        || FUnknownPrivate::iidEqual (requested, Vst::IHostApplication::iid))
    {
        *obj = static_cast<Vst::IHostApplication*> (this);
        return kResultOk;
    }

    if (mPlugInterfaceSupport != nullptr && FUnknownPrivate::iidEqual (requested, Vst::IPlugInterfaceSupport::iid))
        return mPlugInterfaceSupport->queryInterface (requested, obj);

    *obj = nullptr;
    return kNoInterface;
}

//==============================================================================
void ComponentHandler::setKnownParameters (const std::vector<Vst::ParamID>& ids)
{
    const std::lock_guard<std::mutex> guard (lock);
    knownParameters = { ids.begin(), ids.end() };
}

tresult PLUGIN_API ComponentHandler::beginEdit (Vst::ParamID id)
{
    const std::lock_guard<std::mutex> guard (lock);

    if (knownParameters.count (id) == 0)
        problems.push_back ("beginEdit for unknown parameter ID " + std::to_string (id));

    return kResultOk;
}

tresult PLUGIN_API ComponentHandler::performEdit (Vst::ParamID id, Vst::ParamValue value)
{
    const std::lock_guard<std::mutex> guard (lock);

    if (knownParameters.count (id) == 0)
        problems.push_back ("performEdit for unknown parameter ID " + std::to_string (id));

    if (! (value >= 0.0 && value <= 1.0))
        problems.push_back ("performEdit of parameter " + std::to_string (id)
                            + " with a value outside 0..1: " + std::to_string (value));

    return kResultOk;
}

tresult PLUGIN_API ComponentHandler::endEdit (Vst::ParamID id)
{
    const std::lock_guard<std::mutex> guard (lock);

    if (knownParameters.count (id) == 0)
        problems.push_back ("endEdit for unknown parameter ID " + std::to_string (id));

    return kResultOk;
}

tresult PLUGIN_API ComponentHandler::restartComponent (int32 flags)
{
    restartFlags.fetch_or (flags);
    return kResultOk;
}

std::vector<std::string> ComponentHandler::takeProblems()
{
    const std::lock_guard<std::mutex> guard (lock);
    std::vector<std::string> result;
    result.swap (problems);
    return result;
}

tresult PLUGIN_API ComponentHandler::queryInterface (const TUID requested, void** obj)
{
    if (FUnknownPrivate::iidEqual (requested, FUnknown::iid)
        || FUnknownPrivate::iidEqual (requested, Vst::IComponentHandler::iid))
    {
        *obj = static_cast<Vst::IComponentHandler*> (this);
        return kResultOk;
    }

    if (FUnknownPrivate::iidEqual (requested, Vst::IComponentHandler2::iid))
    {
        *obj = static_cast<Vst::IComponentHandler2*> (this);
        return kResultOk;
    }

    *obj = nullptr;
    return kNoInterface;
}

//==============================================================================
ParamValueQueue::ParamValueQueue() { points.reserve (maxPoints); }

void ParamValueQueue::reset (Vst::ParamID id)
{
    parameterId = id;
    points.clear();
}

tresult PLUGIN_API ParamValueQueue::getPoint (int32 index, int32& sampleOffset, Vst::ParamValue& value)
{
    if (index < 0 || index >= (int32) points.size())
        return kResultFalse;

    sampleOffset = points[(size_t) index].offset;
    value = points[(size_t) index].value;
    return kResultOk;
}

tresult PLUGIN_API ParamValueQueue::addPoint (int32 sampleOffset, Vst::ParamValue value, int32& index)
{
    // Points stay ordered by offset; a point at an existing offset replaces its value.
    auto it = std::lower_bound (points.begin(), points.end(), sampleOffset,
                                [] (const Point& p, int32 offset) { return p.offset < offset; });

    if (it != points.end() && it->offset == sampleOffset)
    {
        it->value = value;
        index = (int32) (it - points.begin());
        return kResultOk;
    }

    if (points.size() >= maxPoints)
        return kResultFalse;

    it = points.insert (it, { sampleOffset, value });
    index = (int32) (it - points.begin());
    return kResultOk;
}

tresult PLUGIN_API ParamValueQueue::queryInterface (const TUID requested, void** obj)
{
    return answerFor<Vst::IParamValueQueue> (this, requested, obj);
}

//==============================================================================
ParameterChanges::ParameterChanges (std::size_t capacity) : queues (std::max<std::size_t> (capacity, 1)) {}

Vst::IParamValueQueue* PLUGIN_API ParameterChanges::getParameterData (int32 index)
{
    return index >= 0 && index < (int32) used ? &queues[(size_t) index] : nullptr;
}

Vst::IParamValueQueue* PLUGIN_API ParameterChanges::addParameterData (const Vst::ParamID& id, int32& index)
{
    for (std::size_t i = 0; i < used; ++i)
    {
        if (queues[i].getParameterId() == id)
        {
            index = (int32) i;
            return &queues[i];
        }
    }

    if (used >= queues.size())
        return nullptr;

    queues[used].reset (id);
    index = (int32) used;
    return &queues[used++];
}

tresult PLUGIN_API ParameterChanges::queryInterface (const TUID requested, void** obj)
{
    return answerFor<Vst::IParameterChanges> (this, requested, obj);
}

//==============================================================================
EventList::EventList() { events.reserve (256); }

tresult PLUGIN_API EventList::getEvent (int32 index, Vst::Event& e)
{
    if (index < 0 || index >= (int32) events.size())
        return kResultFalse;

    e = events[(size_t) index];
    return kResultOk;
}

tresult PLUGIN_API EventList::addEvent (Vst::Event& e)
{
    if (events.size() >= events.capacity())
        return kResultFalse;

    events.push_back (e);
    return kResultOk;
}

tresult PLUGIN_API EventList::queryInterface (const TUID requested, void** obj)
{
    return answerFor<Vst::IEventList> (this, requested, obj);
}

//==============================================================================
tresult PLUGIN_API RunLoop::registerEventHandler (Linux::IEventHandler* handler, Linux::FileDescriptor fd)
{
    if (handler == nullptr || fd < 0)
        return kInvalidArgument;

    eventHandlers.push_back ({ handler, fd });
    return kResultOk;
}

tresult PLUGIN_API RunLoop::unregisterEventHandler (Linux::IEventHandler* handler)
{
    const auto before = eventHandlers.size();
    eventHandlers.erase (std::remove_if (eventHandlers.begin(), eventHandlers.end(),
                                         [handler] (const EventHandlerEntry& e) { return e.handler == handler; }),
                         eventHandlers.end());
    return eventHandlers.size() != before ? kResultOk : kInvalidArgument;
}

tresult PLUGIN_API RunLoop::registerTimer (Linux::ITimerHandler* handler, Linux::TimerInterval milliseconds)
{
    if (handler == nullptr || milliseconds == 0)
        return kInvalidArgument;

    const std::chrono::milliseconds interval ((long long) milliseconds);
    timers.push_back ({ handler, interval, std::chrono::steady_clock::now() + interval });
    return kResultOk;
}

tresult PLUGIN_API RunLoop::unregisterTimer (Linux::ITimerHandler* handler)
{
    const auto before = timers.size();
    timers.erase (
        std::remove_if (timers.begin(), timers.end(), [handler] (const TimerEntry& t) { return t.handler == handler; }),
        timers.end());
    return timers.size() != before ? kResultOk : kInvalidArgument;
}

tresult PLUGIN_API RunLoop::queryInterface (const TUID requested, void** obj)
{
    return answerFor<Linux::IRunLoop> (this, requested, obj);
}

void RunLoop::serveOnce (int maxWaitMs)
{
    using clock = std::chrono::steady_clock;
    const auto now = clock::now();

    for (const auto& t : timers)
    {
        const auto untilDue = std::chrono::duration_cast<std::chrono::milliseconds> (t.due - now).count();
        maxWaitMs = (int) std::max<long long> (0, std::min<long long> (maxWaitMs, untilDue));
    }

    // Handlers may register or unregister others from inside a callback, so this works on
    // copies and checks that an entry is still registered before calling it.
    const auto handlers = eventHandlers;
    std::vector<pollfd> fds;

    for (const auto& e : handlers)
        fds.push_back ({ e.fd, POLLIN, 0 });

    if (fds.empty())
        std::this_thread::sleep_for (std::chrono::milliseconds (maxWaitMs));
    else if (poll (fds.data(), (nfds_t) fds.size(), maxWaitMs) > 0)
    {
        for (std::size_t i = 0; i < fds.size(); ++i)
        {
            if ((fds[i].revents & (POLLIN | POLLHUP | POLLERR)) == 0)
                continue;

            const auto stillRegistered =
                std::any_of (eventHandlers.begin(), eventHandlers.end(),
                             [&] (const EventHandlerEntry& e)
                             { return e.handler == handlers[i].handler && e.fd == handlers[i].fd; });

            if (stillRegistered)
                handlers[i].handler->onFDIsSet (handlers[i].fd);
        }
    }

    const auto afterPoll = clock::now();
    const auto dueTimers = timers;

    for (const auto& t : dueTimers)
    {
        if (t.due > afterPoll)
            continue;

        auto entry =
            std::find_if (timers.begin(), timers.end(), [&] (const TimerEntry& e) { return e.handler == t.handler; });

        if (entry == timers.end())
            continue;

        entry->due = afterPoll + entry->interval;
        t.handler->onTimer();
    }
}

void RunLoop::pump (std::chrono::milliseconds duration)
{
    pumpUntil ([] { return false; }, duration);
}

bool RunLoop::pumpUntil (const std::function<bool()>& condition, std::chrono::milliseconds timeout)
{
    const auto end = std::chrono::steady_clock::now() + timeout;

    while (! condition())
    {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds> (end - std::chrono::steady_clock::now());

        if (left.count() <= 0)
            return condition();

        serveOnce ((int) std::min<long long> (left.count(), 5));
    }

    return true;
}

//==============================================================================
tresult PLUGIN_API PlugFrame::resizeView (IPlugView* view, ViewRect* newSize)
{
    ++numResizeRequests;

    if (view == nullptr || newSize == nullptr || newSize->getWidth() <= 0 || newSize->getHeight() <= 0)
    {
        ++numBadResizeRequests;
        return kInvalidArgument;
    }

    if (onResize)
        onResize (newSize->getWidth(), newSize->getHeight());

    // The host tells the view the size it now has.
    return view->onSize (newSize);
}

tresult PLUGIN_API PlugFrame::queryInterface (const TUID requested, void** obj)
{
    if (FUnknownPrivate::iidEqual (requested, Linux::IRunLoop::iid))
    {
        *obj = static_cast<Linux::IRunLoop*> (&runLoop);
        return kResultOk;
    }

    return answerFor<IPlugFrame> (this, requested, obj);
}
