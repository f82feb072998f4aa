// The Standalone application: the framework's plug-in window around one Ostrel instance, on the
// system's audio device (ALSA or JACK). It differs from the framework's default application in two
// ways: when no audio device can be opened it says so (on stderr and in the window title) instead
// of running silently, and it quits cleanly, saving its state, when it receives SIGTERM.

#include <juce_audio_plugin_client/juce_audio_plugin_client.h>
#include <juce_audio_plugin_client/utility/juce_CreatePluginFilter.h>
#include <juce_audio_utils/juce_audio_utils.h>

#include <juce_audio_plugin_client/Standalone/juce_StandaloneFilterWindow.h>

#include <iostream>

#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace
{
int terminationPipe[2] { -1, -1 };

// Runs in signal context: only wakes the message thread.
void onTerminationSignal (int)
{
    const char byte = 1;
    [[maybe_unused]] const auto written = ::write (terminationPipe[1], &byte, 1);
}

const juce::String noDeviceMessage ("No audio device could be opened: Ostrel runs without sound. "
                                    "Choose a device under Options > Audio/MIDI Settings.");
} // namespace

class OstrelStandaloneApp : public juce::JUCEApplication, private juce::ChangeListener
{
public:
    OstrelStandaloneApp()
    {
        juce::PropertiesFile::Options options;
        options.applicationName = getApplicationName();
        options.filenameSuffix = ".settings";
        options.osxLibrarySubFolder = "Application Support";
        options.folderName = "~/.config";
        appProperties.setStorageParameters (options);
    }

    const juce::String getApplicationName() override { return JucePlugin_Name; }
    const juce::String getApplicationVersion() override { return JucePlugin_VersionString; }
    bool moreThanOneInstanceAllowed() override { return true; }
    void anotherInstanceStarted (const juce::String&) override {}

    void initialise (const juce::String&) override
    {
        installTerminationHandler();

        mainWindow = std::make_unique<juce::StandaloneFilterWindow> (
            getApplicationName(),
            juce::LookAndFeel::getDefaultLookAndFeel().findColour (juce::ResizableWindow::backgroundColourId),
            appProperties.getUserSettings(), false);

        mainWindow->getDeviceManager().addChangeListener (this);
        showDeviceState();
        mainWindow->setVisible (true);
    }

    void shutdown() override
    {
        if (mainWindow != nullptr)
            mainWindow->getDeviceManager().removeChangeListener (this);

        mainWindow = nullptr;
        appProperties.saveIfNeeded();
        removeTerminationHandler();
    }

    void systemRequestedQuit() override
    {
        if (mainWindow != nullptr)
            mainWindow->pluginHolder->savePluginState();

        // An open dialog (the audio settings) is dismissed first; quitting is then tried again.
        if (juce::ModalComponentManager::getInstance()->cancelAllModalComponents())
        {
            juce::Timer::callAfterDelay (100,
                                         []
                                         {
                                             if (auto* app = juce::JUCEApplicationBase::getInstance())
                                                 app->systemRequestedQuit();
                                         });
        }
        else
        {
            quit();
        }
    }

private:
    void changeListenerCallback (juce::ChangeBroadcaster*) override { showDeviceState(); }

    void showDeviceState()
    {
        const bool hasDevice = mainWindow->getDeviceManager().getCurrentAudioDevice() != nullptr;

        if (! hasDevice && hadDevice)
            std::cerr << getApplicationName() << ": " << noDeviceMessage << std::endl;

        hadDevice = hasDevice;
        mainWindow->setName (hasDevice ? getApplicationName() : getApplicationName() + " (no audio device)");
    }

    void installTerminationHandler()
    {
        if (::pipe (terminationPipe) != 0)
            return;

        for (const auto fd : terminationPipe)
            ::fcntl (fd, F_SETFD, FD_CLOEXEC);

        ::fcntl (terminationPipe[1], F_SETFL, O_NONBLOCK);

        juce::LinuxEventLoop::registerFdCallback (terminationPipe[0],
                                                  [this] (int fd)
                                                  {
                                                      char byte;
                                                      [[maybe_unused]] const auto bytesRead = ::read (fd, &byte, 1);
                                                      systemRequestedQuit();
                                                  });

        struct sigaction action
        {
        };
        action.sa_handler = onTerminationSignal;
        sigemptyset (&action.sa_mask);
        ::sigaction (SIGTERM, &action, nullptr);
    }

    void removeTerminationHandler()
    {
        if (terminationPipe[0] < 0)
            return;

        ::signal (SIGTERM, SIG_DFL);
        juce::LinuxEventLoop::unregisterFdCallback (terminationPipe[0]);

        for (auto& fd : terminationPipe)
        {
            ::close (fd);
            fd = -1;
        }
    }

    juce::ApplicationProperties appProperties;
    std::unique_ptr<juce::StandaloneFilterWindow> mainWindow;
    bool hadDevice = true; // so that a device missing at start-up is reported

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (OstrelStandaloneApp)
};

juce::JUCEApplicationBase* juce_CreateApplication();
juce::JUCEApplicationBase* juce_CreateApplication() { return new OstrelStandaloneApp(); }
