// The road of the volume tags: parsed, queued, carried out by the real send
// thread, whose volume manager changes the (stand-in) device; and a device
// change reaching that thread makes its manager bind anew.

#include <gtest/gtest.h>

#include <cmath>

#include "InputTestSupport.h"
#include "VolumeServices.h"
#include "VolumeTestDevice.h"
#include "WaitFor.h"

using inputtest::RecordingSink;
using volumetest::FakeAudioDevice;

namespace
{
// The volume services as the library wires them to the send thread.
class VolumeBridge : public ITokenServices
{
public:
    bool GetVolume(int& percent) override { return PeekSendThreadVolume(percent); }
    void ChangeVolume(int delta) override { SendThreadChangeVolume(delta); }
    void ToggleMute() override { SendThreadToggleMute(); }
    void SetVolume(int percent) override { SendThreadSetVolume(percent); }
    void SendThreadStarted(DWORD threadId) override { SendThreadVolumeStarted(threadId); }
    void SendThreadEnding() override { SendThreadVolumeEnding(); }
    void AudioDeviceChanged() override { SendThreadAudioDeviceChanged(); }
};

class VolumeTokens : public ::testing::Test
{
protected:
    void SetUp() override
    {
        queue.SetAutoStart(false);
        ASSERT_TRUE(queue.Start());
        ASSERT_TRUE(brmptest::WaitFor([] { return HasSendThreadVolume(); }));
    }
    void TearDown() override
    {
        queue.Stop();
        EXPECT_FALSE(HasSendThreadVolume());
    }

    void Run(const wchar_t* text)
    {
        SimTokenList tokens;
        TagParseContext parse;
        int percent = 0;
        if (PeekSendThreadVolume(percent))
            parse.volumePercent = percent;
        ASSERT_TRUE(ParseTagText(tokens, text, parse));
        SimTokenSendContext context;
        context.sendInput = &queue;
        context.services = &services;
        for (const auto& token : tokens)
            token->SendSingleShot(context, SIMSEQ_WHOLE, false, false);
        queue.SignalQueue();
    }

    bool LevelBecomes(float level)
    {
        return brmptest::WaitFor([&] { return std::fabs(device.state.level - level) < 0.0001f; });
    }

    FakeAudioDevice device;
    RecordingSink sink;
    VolumeBridge services;
    CSendInput queue{&sink, &services};
};
}

TEST_F(VolumeTokens, VolumeTagsChangeTheDeviceThroughTheSendThread)
{
    device.state.level = 0.5f;
    Run(L"{VOL+10}");
    EXPECT_TRUE(LevelBecomes(0.6f));
    Run(L"{VOL-4}");
    EXPECT_TRUE(LevelBecomes(0.56f));
    Run(L"{VOL30}");
    EXPECT_TRUE(LevelBecomes(0.3f));
    Run(L"{VOL+100}");
    EXPECT_TRUE(LevelBecomes(1.0f));
}

TEST_F(VolumeTokens, ADefaultDeviceChangeMakesTheSendThreadBindAnew)
{
    const int before = device.state.enumeratorsCreated;
    ASSERT_NE(device.state.client, nullptr);
    device.state.client->OnDefaultDeviceChanged(eRender, eMultimedia, L"new device");
    EXPECT_TRUE(brmptest::WaitFor([&] { return device.state.enumeratorsCreated == before + 1; }));
    int percent = -1;
    EXPECT_TRUE(brmptest::WaitFor([&] { return PeekSendThreadVolume(percent); }));
    EXPECT_EQ(percent, 50);
}
