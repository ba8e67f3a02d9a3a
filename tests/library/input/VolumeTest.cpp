// The volume manager and its notifications, over a stand-in audio device (the
// test machine may have none), and once over whatever the system offers.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "ThreadLock.h"
#include "Volume.h"
#include "VolumeNotification.h"
#include "VolumeServices.h"
#include "VolumeTestDevice.h"

using volumetest::FakeAudioDevice;

namespace
{
UINT VolumeChanged()
{
    return ::RegisterWindowMessageW(L"WRMP_OSDVolumeChanged");
}

UINT DeviceChanged()
{
    return ::RegisterWindowMessageW(L"WRMP_OSDAudioDeviceChanged");
}

// A window of the test thread that only collects posted messages: every post
// in these tests happens on the test thread, so a message is in the queue by
// the time the call returns, and its absence is final.
class MessageWindow
{
public:
    MessageWindow()
        : m_hWnd(::CreateWindowExW(0, L"STATIC", nullptr, 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr))
    {
    }
    ~MessageWindow() { ::DestroyWindow(m_hWnd); }
    HWND Get() const { return m_hWnd; }

    bool Take(UINT message, MSG& msg) { return ::PeekMessageW(&msg, m_hWnd, message, message, PM_REMOVE) != FALSE; }

private:
    HWND m_hWnd;
};

bool TakeThreadMessage(UINT message, MSG& msg)
{
    return ::PeekMessageW(&msg, reinterpret_cast<HWND>(-1), message, message, PM_REMOVE) != FALSE;
}

class VolumeTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_com = SUCCEEDED(::CoInitializeEx(nullptr, COINIT_MULTITHREADED));
        MSG msg;
        ::PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE);
        while (TakeThreadMessage(DeviceChanged(), msg))
        {
        }
    }
    void TearDown() override
    {
        if (m_com)
            ::CoUninitialize();
    }

    FakeAudioDevice device;

private:
    bool m_com = false;
};

class ThrowingCallback : public CInternalVolumeNotification
{
public:
    void Notifiction(VolumeAction) override { throw std::runtime_error("callback failed"); }
};

class CountingCallback : public CInternalVolumeNotification
{
public:
    void Notifiction(VolumeAction action) override { actions.push_back(action); }
    std::vector<VolumeAction> actions;
};

// Holds the audio lock on another thread until the object goes.
class AudioLockHolder
{
public:
    AudioLockHolder()
        : m_entered(::CreateEventW(nullptr, TRUE, FALSE, nullptr)), m_release(::CreateEventW(nullptr, TRUE, FALSE, nullptr)),
          m_thread([this] {
              CAudioThreadLock::EnterCS(L"AudioLockHolder");
              ::SetEvent(m_entered);
              ::WaitForSingleObject(m_release, 10000);
              CAudioThreadLock::LeaveCS();
          })
    {
        ::WaitForSingleObject(m_entered, 10000);
    }
    ~AudioLockHolder()
    {
        ::SetEvent(m_release);
        m_thread.join();
        ::CloseHandle(m_entered);
        ::CloseHandle(m_release);
    }

private:
    HANDLE m_entered;
    HANDLE m_release;
    std::thread m_thread;
};
}

TEST(VolumeRules, NotificationLevelIsTheScalarRoundedHalfUpAsItArrives)
{
    const struct
    {
        float scalar;
        int level;
    } cases[] = {{0.505f, 51}, {0.5049f, 50}, {0.0f, 0}, {1.0f, 100}, {0.004f, 0}, {0.005f, 1}, {0.994f, 99}, {-0.2f, 0}, {1.5f, 100}};
    for (const auto& c : cases)
        EXPECT_EQ(VolumeNotificationLevel(c.scalar), c.level) << "scalar " << c.scalar;
}

TEST(VolumeRules, DisplayRepairIsWantedWithoutAManagerOrAboveSixPercent)
{
    const struct
    {
        bool haveManager;
        float volume;
        bool wanted;
    } cases[] = {{false, -1.0f, true}, {true, -1.0f, false}, {true, 6.0f, false}, {true, 6.01f, true}, {true, 80.0f, true}, {true, 0.0f, false}};
    for (const auto& c : cases)
        EXPECT_EQ(VolumeDisplayNeedsRepair(c.haveManager, c.volume), c.wanted) << c.haveManager << " " << c.volume;
}

TEST_F(VolumeTest, AManagerBindsTheDeviceAndReleasesEverythingWhenDeleted)
{
    {
        CVolumeManager manager(true, L"Test", 0);
        EXPECT_TRUE(manager.IsInitialised());
        EXPECT_NE(device.state.client, nullptr);
        EXPECT_NE(device.state.volumeCallback, nullptr);
        EXPECT_FLOAT_EQ(manager.GetVolume(), 50.0f);
    }
    EXPECT_EQ(device.state.client, nullptr);
    EXPECT_EQ(device.state.volumeCallback, nullptr);
    EXPECT_EQ(device.state.liveObjects, 0);

    // Without the notify flag no volume callback is registered.
    CVolumeManager quiet(false, nullptr, 0);
    EXPECT_TRUE(quiet.IsInitialised());
    EXPECT_EQ(device.state.volumeCallback, nullptr);
    EXPECT_EQ(std::wstring(quiet.GetName()).rfind(L"Unknown ", 0), 0u);
}

TEST_F(VolumeTest, ChangeVolumeStepsWithinZeroToHundredAndSetsNothingWhenAtTheLimit)
{
    const struct
    {
        float start;
        float delta;
        bool changed;
        float result;
    } cases[] = {
        {0.95f, 10.0f, true, 1.0f}, {1.0f, 10.0f, false, 1.0f}, {0.05f, -10.0f, true, 0.0f},
        {0.0f, -2.0f, false, 0.0f}, {0.5f, -2.0f, true, 0.48f}, {0.5f, 2.0f, true, 0.52f},
    };
    CVolumeManager manager(false, L"Test", 0);
    for (const auto& c : cases)
    {
        device.state.level = c.start;
        device.state.setLevelCalls = 0;
        EXPECT_EQ(manager.ChangeVolume(c.delta), c.changed) << c.start << " " << c.delta;
        EXPECT_NEAR(device.state.level, c.result, 0.0001f) << c.start << " " << c.delta;
        EXPECT_EQ(device.state.setLevelCalls, c.changed ? 1 : 0) << c.start << " " << c.delta;
    }
}

TEST_F(VolumeTest, ChangeVolumeDoesNothingWhenTheVolumeCannotBeRead)
{
    CVolumeManager manager(false, L"Test", 0);
    device.state.getLevelResult = E_FAIL;
    EXPECT_FLOAT_EQ(manager.GetVolume(), -1.0f);
    EXPECT_FALSE(manager.ChangeVolume(10.0f));
    EXPECT_EQ(device.state.setLevelCalls, 0);
}

TEST_F(VolumeTest, SetVolumeUnmutesFirstAndKeepsTheLevelInRange)
{
    CVolumeManager manager(false, L"Test", 0);
    device.state.muted = TRUE;
    EXPECT_TRUE(manager.SetVolume(30.0f));
    ASSERT_EQ(device.state.calls.size(), 2u);
    EXPECT_EQ(device.state.calls[0], L"SetMute(0,context)");
    EXPECT_EQ(device.state.calls[1], L"SetLevel(0.30,null)");
    EXPECT_FALSE(device.state.muted);

    // A level from outside (a tag, the display) never reaches the device out of range.
    EXPECT_TRUE(manager.SetVolume(150.0f));
    EXPECT_FLOAT_EQ(device.state.level, 1.0f);
    EXPECT_TRUE(manager.SetVolume(-5.0f));
    EXPECT_FLOAT_EQ(device.state.level, 0.0f);
    const int before = device.state.setLevelCalls;
    EXPECT_FALSE(manager.SetVolume(std::numeric_limits<float>::quiet_NaN()));
    EXPECT_EQ(device.state.setLevelCalls, before);

    device.state.setLevelResult = E_FAIL;
    EXPECT_FALSE(manager.SetVolume(40.0f));
}

TEST_F(VolumeTest, ToggleMuteFlipsTheStateAndReportsARefusedChange)
{
    CVolumeManager manager(false, L"Test", 0);
    EXPECT_TRUE(manager.ToggleMute());
    EXPECT_TRUE(device.state.muted);
    EXPECT_TRUE(manager.ToggleMute());
    EXPECT_FALSE(device.state.muted);

    device.state.setMuteResult = E_ACCESSDENIED;
    EXPECT_FALSE(manager.ToggleMute());
    EXPECT_FALSE(device.state.muted);
}

TEST_F(VolumeTest, WithoutADeviceEveryCallFailsQuietlyAndALaterDeviceIsBoundOnUse)
{
    device.state.haveDevice = false;
    {
        CVolumeManager manager(false, L"Test", 0);
        EXPECT_FALSE(manager.IsInitialised());
        EXPECT_FLOAT_EQ(manager.GetVolume(), -1.0f);
        EXPECT_FALSE(manager.SetVolume(50.0f));
        EXPECT_FALSE(manager.ChangeVolume(2.0f));
        EXPECT_FALSE(manager.ToggleMute());
        EXPECT_FLOAT_EQ(manager.PeekVolume(), -1.0f);

        device.state.haveDevice = true;
        device.state.level = 0.25f;
        EXPECT_FLOAT_EQ(manager.GetVolume(), 25.0f);
        EXPECT_TRUE(manager.IsInitialised());

        // A device that refuses the endpoint volume is released again.
        device.state.activateResult = E_ACCESSDENIED;
        CVolumeManager refused(false, L"Refused", 0);
        EXPECT_FALSE(refused.IsInitialised());
        EXPECT_FLOAT_EQ(refused.GetVolume(), -1.0f);
    }
    EXPECT_EQ(device.state.liveObjects, 0);
}

TEST_F(VolumeTest, AVolumeChangeIsPostedToTheParentWithLevelAndMuteState)
{
    MessageWindow window;
    CVolumeManager manager(true, L"Volume OSD", 0);
    manager.SetParent(window.Get());
    ASSERT_NE(device.state.volumeCallback, nullptr);

    AUDIO_VOLUME_NOTIFICATION_DATA data = {};
    data.fMasterVolume = 0.505f;
    data.bMuted = TRUE;
    data.nChannels = 1;
    EXPECT_EQ(device.state.volumeCallback->OnNotify(&data), S_OK);
    MSG msg;
    ASSERT_TRUE(window.Take(VolumeChanged(), msg));
    EXPECT_EQ(msg.wParam, 51u);
    EXPECT_EQ(msg.lParam, 1);

    // Busy audio lock: the notification is dropped, not waited for.
    {
        AudioLockHolder holder;
        EXPECT_EQ(device.state.volumeCallback->OnNotify(&data), S_OK);
        EXPECT_FALSE(window.Take(VolumeChanged(), msg));
    }

    // No parent: nothing is posted.
    manager.SetParent(nullptr);
    EXPECT_EQ(device.state.volumeCallback->OnNotify(&data), S_OK);
    EXPECT_FALSE(window.Take(VolumeChanged(), msg));
}

TEST_F(VolumeTest, OnlyTheFirstDefaultDeviceChangeReachesTheOwnerThread)
{
    MessageWindow window;
    CVolumeManager manager(false, L"SendInput Thread", ::GetCurrentThreadId());
    manager.SetParent(window.Get());
    ASSERT_NE(device.state.client, nullptr);
    IMMNotificationClient* client = device.state.client;
    MSG msg;

    // Console and communications roles are not the multimedia default.
    EXPECT_EQ(client->OnDefaultDeviceChanged(eRender, eConsole, L"x"), S_OK);
    EXPECT_EQ(client->OnDefaultDeviceChanged(eRender, eCommunications, L"x"), S_OK);
    EXPECT_FALSE(manager.NeedsReinitialise());
    EXPECT_FALSE(TakeThreadMessage(DeviceChanged(), msg));
    EXPECT_FALSE(window.Take(DeviceChanged(), msg));

    EXPECT_EQ(client->OnDefaultDeviceChanged(eRender, eMultimedia, L"x"), S_OK);
    EXPECT_TRUE(manager.NeedsReinitialise());
    ASSERT_TRUE(TakeThreadMessage(DeviceChanged(), msg));
    EXPECT_EQ(msg.wParam, 0u);
    ASSERT_TRUE(window.Take(DeviceChanged(), msg));
    EXPECT_EQ(msg.wParam, static_cast<WPARAM>(eRender));
    EXPECT_EQ(msg.lParam, static_cast<LPARAM>(eMultimedia));

    // The owner re-binds; a later change only marks the manager.
    manager.ReInitialise();
    EXPECT_FALSE(manager.NeedsReinitialise());
    EXPECT_EQ(device.state.enumeratorsCreated, 2);
    ASSERT_NE(device.state.client, nullptr);
    EXPECT_EQ(device.state.client->OnDefaultDeviceChanged(eRender, eMultimedia, L"y"), S_OK);
    EXPECT_TRUE(manager.NeedsReinitialise());
    EXPECT_FALSE(TakeThreadMessage(DeviceChanged(), msg));

    // Other device events neither mark the manager nor tell anyone.
    manager.ReInitialise();
    IMMNotificationClient* current = device.state.client;
    PROPERTYKEY key = {};
    EXPECT_EQ(current->OnDeviceAdded(L"x"), S_OK);
    EXPECT_EQ(current->OnDeviceRemoved(L"x"), S_OK);
    EXPECT_EQ(current->OnDeviceStateChanged(L"x", DEVICE_STATE_UNPLUGGED), S_OK);
    EXPECT_EQ(current->OnPropertyValueChanged(L"x", key), S_OK);
    EXPECT_FALSE(manager.NeedsReinitialise());
}

TEST_F(VolumeTest, ADeviceClientTheServiceKeepsNeverCallsAGoneManager)
{
    device.state.unregisterClientResult = E_FAIL;
    auto* manager = new CVolumeManager(false, L"Test", ::GetCurrentThreadId());
    IMMNotificationClient* client = device.state.client;
    ASSERT_NE(client, nullptr);
    delete manager;
    // The service still holds the client and reports a change.
    EXPECT_EQ(client, device.state.client);
    EXPECT_EQ(client->OnDefaultDeviceChanged(eRender, eMultimedia, L"x"), S_OK);
    MSG msg;
    EXPECT_FALSE(TakeThreadMessage(DeviceChanged(), msg));
}

TEST(AudioNotificationClient, DeliversEveryEventCodeAndSurvivesAThrowingCallback)
{
    auto* client = new CAudioNotificationClient(L"Test");
    ThrowingCallback thrower;
    CountingCallback counter;
    client->AddCallback(&thrower);
    client->AddCallback(nullptr);
    client->AddCallback(&counter);

    PROPERTYKEY key = {};
    client->OnDefaultDeviceChanged(eRender, eMultimedia, L"x");
    client->OnDeviceStateChanged(L"x", 0x1234);
    client->OnPropertyValueChanged(L"x", key);
    client->OnDeviceRemoved(L"x");
    client->OnDeviceAdded(L"x");
    const std::vector<VolumeAction> expected = {VOLUME_DEFAULT_DEVICE_CHANGED, VOLUME_DEVICE_STATE_CHANGED,
                                                VOLUME_DEVICE_PROPERTY_CHANGED, VOLUME_DEVICE_REMOVED, VOLUME_DEVICE_ADDED};
    EXPECT_EQ(counter.actions, expected);

    // Removing one callback ends all delivery.
    client->RemoveCallback(&thrower);
    client->OnDeviceAdded(L"x");
    client->AddCallback(&counter);
    client->OnDeviceAdded(L"x");
    EXPECT_EQ(counter.actions.size(), expected.size());
    EXPECT_EQ(client->Release(), 0u);
}

TEST(AudioNotificationClient, AnswersOnlyItsOwnInterfaces)
{
    auto* client = new CAudioNotificationClient(nullptr);
    auto* volume = new CVolumeNotification(nullptr, nullptr);
    volume->AddRef();
    void* object = nullptr;

    EXPECT_EQ(client->QueryInterface(__uuidof(IMMNotificationClient), &object), S_OK);
    EXPECT_EQ(object, static_cast<IMMNotificationClient*>(client));
    EXPECT_EQ(client->Release(), 1u);
    EXPECT_EQ(client->QueryInterface(__uuidof(IAudioEndpointVolumeCallback), &object), E_NOINTERFACE);
    EXPECT_EQ(object, nullptr);

    EXPECT_EQ(volume->QueryInterface(__uuidof(IUnknown), &object), S_OK);
    EXPECT_EQ(volume->Release(), 1u);
    EXPECT_EQ(volume->QueryInterface(__uuidof(IMMNotificationClient), &object), E_NOINTERFACE);
    EXPECT_EQ(volume->OnNotify(nullptr), E_INVALIDARG);

    EXPECT_EQ(client->Release(), 0u);
    EXPECT_EQ(volume->Release(), 0u);
}

TEST_F(VolumeTest, TheSendThreadManagerIsReadFromOtherThreadsWithoutWaiting)
{
    int percent = -5;
    SendThreadVolumeEnding();
    EXPECT_FALSE(HasSendThreadVolume());
    EXPECT_FALSE(PeekSendThreadVolume(percent));
    EXPECT_TRUE(VolumeDisplayNeedsRepair());
    EXPECT_FALSE(SendThreadChangeVolume(2));

    device.state.level = 0.05f;
    SendThreadVolumeStarted(::GetCurrentThreadId());
    ASSERT_TRUE(HasSendThreadVolume());
    EXPECT_FALSE(VolumeDisplayNeedsRepair());   // 5 %: the display is near its end anyway
    EXPECT_TRUE(SendThreadChangeVolume(45));
    EXPECT_TRUE(VolumeDisplayNeedsRepair());

    bool read = false;
    std::thread reader([&] { read = PeekSendThreadVolume(percent); });
    reader.join();
    EXPECT_TRUE(read);
    EXPECT_EQ(percent, 50);

    EXPECT_TRUE(SendThreadSetVolume(120));
    EXPECT_FLOAT_EQ(device.state.level, 1.0f);
    EXPECT_TRUE(SendThreadToggleMute());
    EXPECT_TRUE(device.state.muted);

    // A device change the thread hears of makes it bind anew.
    ASSERT_NE(device.state.client, nullptr);
    device.state.client->OnDefaultDeviceChanged(eRender, eMultimedia, L"x");
    EXPECT_FALSE(PeekSendThreadVolume(percent));
    SendThreadAudioDeviceChanged();
    EXPECT_TRUE(PeekSendThreadVolume(percent));

    {
        AudioLockHolder holder;
        EXPECT_FALSE(PeekSendThreadVolume(percent));
        EXPECT_FALSE(VolumeDisplayNeedsRepair());
    }

    SendThreadVolumeEnding();
    EXPECT_FALSE(HasSendThreadVolume());
    EXPECT_EQ(device.state.liveObjects, 0);
}

TEST(VolumeOnThisMachine, AManagerOverTheSystemDeviceNeverFailsLoudly)
{
    const bool com = SUCCEEDED(::CoInitializeEx(nullptr, COINIT_MULTITHREADED));
    {
        CVolumeManager manager(true, L"System", 0);
        const float volume = manager.GetVolume();
        // A machine without an output device reads -1; one with a device 0-100.
        EXPECT_TRUE(volume == -1.0f || (volume >= 0.0f && volume <= 100.0f)) << volume;
        if (volume < 0.0f)
        {
            EXPECT_FALSE(manager.ChangeVolume(2.0f));
            EXPECT_FALSE(manager.IsInitialised());
        }
        manager.ReInitialise();
    }
    if (com)
        ::CoUninitialize();
}
