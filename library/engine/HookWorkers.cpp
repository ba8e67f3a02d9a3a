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
        if (g_pSPIThread != nullptr)
        {
            CLogger::LogMessage(L"HookThreadProc[0x%X]: Unexpected SPI Thread - removing it.", tid);
            CSPIThread* old = g_pSPIThread;
            g_pSPIThread = nullptr;
            StopSPIThread(old);
        }
        CLogger::LogDebug(L"HookThreadProc[0x%X]: Creating new SPI object...", tid);
        g_pSPIThread = new CSPIThread();
    }
    catch (...)
    {
        CLogger::LogMessage(L"HookThreadProc[0x%X]: Failed to start SPI thread", tid);
        g_pSPIThread = nullptr;
    }

    try
    {
        if (g_pSendInput != nullptr)
        {
            CLogger::LogMessage(L"HookThreadProc[0x%X]: Unexpected SendInput Thread - removing it.", tid);
            CSendInput* old = g_pSendInput;
            g_pSendInput = nullptr;
            StopSendInput(old);
        }
        CLogger::LogDebug(L"HookThreadProc[0x%X]: Creating new SendInput queue...", tid);
        InstallEngineTokenServices();
        g_pSendInput = new CSendInput();
        if (!g_pSendInput->Start())
        {
            CLogger::LogMessage(L"HookThreadProc[0x%X]: Failed to start SendInput thread", tid);
            delete g_pSendInput;
            g_pSendInput = nullptr;
        }
    }
    catch (...)
    {
        CLogger::LogMessage(L"HookThreadProc[0x%X]: Failed to start SendInput thread", tid);
        g_pSendInput = nullptr;
    }

    try
    {
        if (g_pBrightness != nullptr)
        {
            CLogger::LogMessage(L"HookThreadProc[0x%X]: Unexpected brightness object - removing it.", tid);
            delete g_pBrightness;
            g_pBrightness = nullptr;
        }
        CLogger::LogDebug(L"HookThreadProc[0x%X]: Creating new brightness OSD...", tid);
        g_pBrightness = new CBrightness(g_hBrightnessOSDWnd);
    }
    catch (...)
    {
        CLogger::LogMessage(L"HookThreadProc[0x%X]: Failed to create OSD brightness object", tid);
        g_pBrightness = nullptr;
    }
}

HookWorkers DetachHookWorkers()
{
    HookWorkers workers;
    workers.spiThread = g_pSPIThread;
    workers.sendInput = g_pSendInput;
    workers.brightness = g_pBrightness;
    g_pSPIThread = nullptr;
    g_pSendInput = nullptr;
    g_pBrightness = nullptr;
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
    if (CSendInput* sendInput = g_pSendInput)
        sendInput->Unblock();
}
