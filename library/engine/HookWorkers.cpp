#include "HookWorkers.h"

#include "Brightness.h"
#include "EngineTokenServices.h"
#include "Globals.h"
#include "Logger.h"
#include "SPIThread.h"
#include "SendInput.h"
#include "ThreadLock.h"

namespace
{
void StopSPIThread(CSPIThread* spi)
{
    if (spi == nullptr)
        return;
    spi->Stop();
    delete spi;
}

void StopSendInput(CSendInput* sendInput)
{
    if (sendInput == nullptr)
        return;
    sendInput->Stop();
    delete sendInput;
}
}

void CreateHookWorkers(DWORD tid)
{
    try
    {
        if (g_threads.pSPIThread != nullptr)
        {
            CLogger::LogMessage(L"HookThreadProc[0x%X]: Unexpected SPI Thread - removing it.", tid);
            CSPIThread* old = g_threads.pSPIThread;
            g_threads.pSPIThread = nullptr;
            StopSPIThread(old);
        }
        CLogger::LogDebug(L"HookThreadProc[0x%X]: Creating new SPI object...", tid);
        g_threads.pSPIThread = new CSPIThread();
    }
    catch (...)
    {
        CLogger::LogMessage(L"HookThreadProc[0x%X]: Failed to start SPI thread", tid);
        g_threads.pSPIThread = nullptr;
    }

    try
    {
        if (g_threads.pSendInput != nullptr)
        {
            CLogger::LogMessage(L"HookThreadProc[0x%X]: Unexpected SendInput Thread - removing it.", tid);
            CSendInput* old = g_threads.pSendInput;
            g_threads.pSendInput = nullptr;
            StopSendInput(old);
        }
        CLogger::LogDebug(L"HookThreadProc[0x%X]: Creating new SendInput queue...", tid);
        InstallEngineTokenServices();
        g_threads.pSendInput = new CSendInput();
        if (!g_threads.pSendInput->Start())
        {
            CLogger::LogMessage(L"HookThreadProc[0x%X]: Failed to start SendInput thread", tid);
            delete g_threads.pSendInput;
            g_threads.pSendInput = nullptr;
        }
    }
    catch (...)
    {
        CLogger::LogMessage(L"HookThreadProc[0x%X]: Failed to start SendInput thread", tid);
        g_threads.pSendInput = nullptr;
    }

    try
    {
        if (g_threads.pBrightness != nullptr)
        {
            CLogger::LogMessage(L"HookThreadProc[0x%X]: Unexpected brightness object - removing it.", tid);
            delete g_threads.pBrightness;
            g_threads.pBrightness = nullptr;
        }
        CLogger::LogDebug(L"HookThreadProc[0x%X]: Creating new brightness OSD...", tid);
        g_threads.pBrightness = new CBrightness(g_engine.hBrightnessOSDWnd);
    }
    catch (...)
    {
        CLogger::LogMessage(L"HookThreadProc[0x%X]: Failed to create OSD brightness object", tid);
        g_threads.pBrightness = nullptr;
    }
}

HookWorkers DetachHookWorkers()
{
    HookWorkers workers;
    workers.spiThread = g_threads.pSPIThread;
    workers.sendInput = g_threads.pSendInput;
    workers.brightness = g_threads.pBrightness;
    g_threads.pSPIThread = nullptr;
    g_threads.pSendInput = nullptr;
    g_threads.pBrightness = nullptr;
    return workers;
}

void StopHookWorkers(HookWorkers& workers)
{
    delete workers.brightness;
    workers.brightness = nullptr;
    StopSendInput(workers.sendInput);
    workers.sendInput = nullptr;
    StopSPIThread(workers.spiThread);
    workers.spiThread = nullptr;
}

void DeleteRogueWorkers()
{
    HookWorkers workers;
    {
        CThreadLock lock(L"DeleteRogueWorkers");
        workers = DetachHookWorkers();
    }
    if (workers.brightness != nullptr)
        CLogger::LogThreadDebug(L"Destroying rogue brightness control [0x%016llX]", AddressNumber(workers.brightness));
    if (workers.sendInput != nullptr)
        CLogger::LogThreadDebug(L"Destroying rogue SendInput thread [0x%016llX]", AddressNumber(workers.sendInput));
    if (workers.spiThread != nullptr)
        CLogger::LogThreadDebug(L"Destroying rogue SPIThread thread [0x%016llX]", AddressNumber(workers.spiThread));
    StopHookWorkers(workers);
}

void UnblockSendInput()
{
    if (CSendInput* sendInput = g_threads.pSendInput)
        sendInput->Unblock();
}
