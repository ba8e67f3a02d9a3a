#pragma once
// The volume manager of the send-input thread, and what other threads of the
// library may ask of it. The send-input thread creates and deletes the
// manager and changes the volume; the hook thread only reads the volume, and
// never waits for the audio lock to do so.

#include <windows.h>

class CVolumeManager;

// Send-input thread: at its start (COM initialised), at its end, and when it
// receives WRMP_OSDAudioDeviceChanged.
void SendThreadVolumeStarted(DWORD threadId);
void SendThreadVolumeEnding();
void SendThreadAudioDeviceChanged();

// Send-input thread: the volume actions and tags. False when there is no
// manager or the device refused.
bool SendThreadChangeVolume(int deltaPercent);
bool SendThreadSetVolume(int percent);
bool SendThreadToggleMute();

// Any thread, never waits: the current volume in whole percent (rounded to
// nearest); false when there is no manager, it is busy, or the volume is
// unknown.
bool PeekSendThreadVolume(int& percent);
bool HasSendThreadVolume();

// The key hook's repair of the system's volume display: after several of the
// library's own Volume Down keys in a row the display can stick until a
// Volume Up and a Volume Down are sent. Whether that nudge is wanted now:
// when there is no volume manager, or it reports a volume above 6 %.
// Never waits (a busy manager counts as "not wanted").
bool VolumeDisplayNeedsRepair();
// The rule itself. haveManager false: wanted; else wanted above 6 %. A
// volume below 0 means unknown (not wanted).
bool VolumeDisplayNeedsRepair(bool haveManager, float volumePercent);
