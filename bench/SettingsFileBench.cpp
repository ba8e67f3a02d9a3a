// Settings file: load and save of a large file (200 application profiles, all
// ten layers of every one filled with keystrokes, chords, timed clicks and
// movement-to-scroll). Prints median, min and max milliseconds, and the load
// as a multiple of the XML parse alone (the ratio holds on a busy machine).
// With --profile it samples where the loads spend their time, with
// --profile-parse where the parse alone does (see SamplingProfiler.h for
// turning the addresses into functions).

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "Actions.h"
#include "ApplicationSettings.h"
#include "Chords.h"
#include "LibraryLifetime.h"
#include "MouseInfo.h"
#include "Movement2Scroll.h"
#include "Settings.h"
#include "StringFormat.h"
#include "TimedClicks.h"
#include "ImportCounter.h"
#include "SamplingProfiler.h"
#include "pugixml.hpp"

namespace
{
constexpr int ProfileCount = 200;
constexpr int Runs = 15;

LONGLONG Now()
{
    LARGE_INTEGER counter;
    ::QueryPerformanceCounter(&counter);
    return counter.QuadPart;
}

// One slot's content, chosen by a mix of profile, layer and button so that
// every kind of action appears in every profile.
void FillSlot(CApplicationSettings& profile, int index, int button, int layer)
{
    const int kind = (index + button + layer * 3) % 6;
    switch (kind)
    {
    case 0:
        profile.SetActions(button, layer, ACTION_SIMULATED_KEYS);
        profile.SetKeystrokes(button, layer, FormatString(L"{CTRL}{SHIFT}k%d{ENTER}", index).c_str(), layer % 3,
                              100 + button, true, button % 2 == 0, false, layer % 2 == 1, 5);
        profile.SetActionDescription(button, layer, FormatString(L"Keys %d/%d", layer, button).c_str());
        break;
    case 1:
    {
        profile.SetActions(button, layer, ACTION_BUTTON_CHORDING);
        auto* chords = new CBRMPChords();
        chords->GetChord((button + 1) % ButtonCount)->SetAction(ACTION_COPY);
        chords->GetChord((button + 2) % ButtonCount)->SetAction(ACTION_SIMULATED_KEYS);
        chords->GetChord((button + 2) % ButtonCount)->SetKeys(L"{ALT}{TAB}");
        chords->SetUnblockTime(250 + layer);
        chords->SetDescription(L"chord list");
        profile.SetChords(button, layer, chords);
        break;
    }
    case 2:
    {
        profile.SetActions(button, layer, ACTION_BUTTON_HELD);
        auto* clicks = new CBRMPTimedClicks();
        clicks->SetTime(1, 400 + index);
        clicks->SetEnabled(1, true);
        clicks->SetTime(2, 900 + layer);
        clicks->SetEnabled(2, true);
        clicks->GetTimedClick(1)->SetAction(ACTION_PASTE);
        profile.SetTimedClicks(button, layer, clicks);
        break;
    }
    case 3:
    {
        profile.SetActions(button, layer, ACTION_MOVEMENT_TO_SCROLL);
        CMovement2Scroll options;
        options.SetSensitivityX(3 + layer);
        options.SetSensitivityY(4 + button);
        options.SetInvertVertical(index % 2 == 0);
        options.SetSticky(true);
        profile.SetMovement2Scroll(button, layer, &options);
        break;
    }
    case 4:
        profile.SetActions(button, layer, ACTION_RUN_APPLICATION);
        profile.SetLaunchApp(button, layer, FormatString(L"C:\\Tools\\tool%d.exe", index).c_str());
        break;
    default:
        profile.SetActions(button, layer, ACTION_BACK + (index + layer) % 20);
        break;
    }
}

std::unique_ptr<CSettings> BuildModel()
{
    auto settings = std::make_unique<CSettings>(false, CMouseInfo(0, 0, 0));
    settings->m_nLayers = LayerCount;
    for (int index = 0; index < ProfileCount; ++index)
    {
        auto* profile = new CApplicationSettings(settings.get(), false, index + 1);
        profile->SetApplication(FormatString(L"program%03d.exe", index).c_str());
        profile->SetDescription(FormatString(L"Profile number %d", index).c_str());
        for (int layer = 0; layer < LayerCount; ++layer)
        {
            profile->SetLayerName(FormatString(L"Layer %d of %d", layer + 1, index).c_str(), layer);
            for (int button = 0; button < ButtonCount; ++button)
                FillSlot(*profile, index, button, layer);
        }
        settings->AddApplication(profile);
    }
    return settings;
}

// This thread's processor time in milliseconds: on a busy machine the wall
// time mostly measures waiting for a processor.
double ThreadCpuMs()
{
    FILETIME created, exited, kernel, user;
    if (!::GetThreadTimes(::GetCurrentThread(), &created, &exited, &kernel, &user))
        return 0.0;
    const auto ticks = [](const FILETIME& t) { return (static_cast<ULONGLONG>(t.dwHighDateTime) << 32) | t.dwLowDateTime; };
    return static_cast<double>(ticks(kernel) + ticks(user)) / 10000.0;
}

struct Figures
{
    double median;
    double min;
    double max;
};

Figures Summarise(std::vector<double> times)
{
    std::sort(times.begin(), times.end());
    return Figures{times[times.size() / 2], times.front(), times.back()};
}

// Discards what the document writer produces; only the writing is timed.
struct NullWriter : pugi::xml_writer
{
    size_t bytes = 0;
    void write(const void*, size_t size) override { bytes += size; }
};

long FileSize(const std::wstring& path)
{
    WIN32_FILE_ATTRIBUTE_DATA data = {};
    if (!::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data))
        return -1;
    return static_cast<long>(data.nFileSizeLow);
}

// Loads the file over and over under the sampling profiler and prints where
// the time went; with parseOnly, only parses it, for comparison.
int ProfileLoads(const std::wstring& path, bool parseOnly)
{
    HANDLE self = nullptr;
    ::DuplicateHandle(::GetCurrentProcess(), ::GetCurrentThread(), ::GetCurrentProcess(), &self, 0, FALSE,
                      DUPLICATE_SAME_ACCESS);
    sampling::Profiler profiler(self);
    profiler.Start();
    for (int run = 0; run < 3 * Runs; ++run)
    {
        if (parseOnly)
        {
            pugi::xml_document document;
            document.load_file(path.c_str(), pugi::parse_default | pugi::parse_comments | pugi::parse_declaration);
            continue;
        }
        auto settings = std::make_unique<CSettings>(false, CMouseInfo(0, 0, 0));
        bool regions = false;
        settings->Load(path.c_str(), regions, false);
    }
    profiler.Stop();
    profiler.Report(stdout, 40);
    ::CloseHandle(self);

    // What the library allocates for one load (the XML parser's own memory aside).
    if (importcount::Install(::GetModuleHandleW(nullptr)) > 0)
    {
        importcount::g_countedThread = ::GetCurrentThreadId();
        auto settings = std::make_unique<CSettings>(false, CMouseInfo(0, 0, 0));
        bool regions = false;
        const auto before = importcount::Snapshot::Take();
        settings->Load(path.c_str(), regions, false);
        const auto after = importcount::Snapshot::Take();
        importcount::g_countedThread = 0;
        const auto allocations = [&](importcount::Counter counter) { return after.counts[counter] - before.counts[counter]; };
        std::printf("  allocations of one load: operator new %ld, operator new[] %ld, malloc %ld\n",
                    allocations(importcount::OperatorNew), allocations(importcount::OperatorNewArray),
                    allocations(importcount::Malloc));
    }
    ::DeleteFileW(path.c_str());
    return 0;
}
}

int wmain(int argc, wchar_t** argv)
{
    // What the DLL does when it is loaded: the library is linked into this program.
    LibraryAttach(::GetModuleHandleW(nullptr));
    LARGE_INTEGER frequency;
    ::QueryPerformanceFrequency(&frequency);
    const double msPerTick = 1000.0 / static_cast<double>(frequency.QuadPart);

    wchar_t temp[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, temp);
    const std::wstring path = FormatString(L"%sbrmp-settings-bench-%lu.xml", temp, ::GetCurrentProcessId());

    const LONGLONG buildStart = Now();
    auto model = BuildModel();
    std::printf("model of %d profiles built in %.1f ms\n", ProfileCount, (Now() - buildStart) * msPerTick);
    if (!model->Save(path.c_str()))
    {
        std::printf("the first save failed\n");
        return 1;
    }
    std::printf("file: %ld bytes\n", FileSize(path));
    if (argc > 1 && std::wstring(argv[1]) == L"--profile")
        return ProfileLoads(path, false);
    if (argc > 1 && std::wstring(argv[1]) == L"--alternate")
    {
        std::vector<double> l, p;
        for (int run = 0; run < Runs; ++run)
        {
            {
                pugi::xml_document document;
                LONGLONG start = Now();
                document.load_file(path.c_str(), pugi::parse_default | pugi::parse_comments | pugi::parse_declaration);
                p.push_back((Now() - start) * msPerTick);
            }
            {
                auto settings = std::make_unique<CSettings>(false, CMouseInfo(0, 0, 0));
                bool regions = false;
                LONGLONG start = Now();
                settings->Load(path.c_str(), regions, false);
                l.push_back((Now() - start) * msPerTick);
            }
        }
        std::printf("alternate: load %.1f parse %.1f\n", Summarise(l).median, Summarise(p).median);
        return 0;
    }
    if (argc > 1 && std::wstring(argv[1]) == L"--profile-parse")
        return ProfileLoads(path, true);

    std::vector<double> loads;
    std::vector<double> saves;
    std::vector<double> loadCpu;
    std::vector<double> saveCpu;
    std::vector<double> parses;
    std::vector<double> writes;
    std::vector<double> ratios;
    std::vector<double> parseCpu;
    for (int run = 0; run < Runs; ++run)
    {
        auto settings = std::make_unique<CSettings>(false, CMouseInfo(0, 0, 0));
        // The XML layer alone, for comparison. Whichever of the two follows the
        // save of the run before pays for what the save left behind (a new file,
        // a heap to grow again): they take turns.
        pugi::xml_document document;
        const auto parseAlone = [&] {
            const double cpu = ThreadCpuMs();
            const LONGLONG start = Now();
            document.load_file(path.c_str(), pugi::parse_default | pugi::parse_comments | pugi::parse_declaration);
            parses.push_back((Now() - start) * msPerTick);
            parseCpu.push_back(ThreadCpuMs() - cpu);
        };
        const auto load = [&] {
            bool regions = false;
            const double cpu = ThreadCpuMs();
            const LONGLONG start = Now();
            const bool loaded = settings->Load(path.c_str(), regions, false);
            loads.push_back((Now() - start) * msPerTick);
            loadCpu.push_back(ThreadCpuMs() - cpu);
            return loaded && settings->GetApplicationCount() == ProfileCount;
        };
        if (run % 2 == 0)
            parseAlone();
        if (!load())
        {
            std::printf("load %d failed (%d profiles)\n", run, settings->GetApplicationCount());
            return 1;
        }
        if (run % 2 != 0)
            parseAlone();
        ratios.push_back(loads.back() / parses.back());

        LONGLONG start = 0;
        double cpu = 0;
        NullWriter sink;
        start = Now();
        document.save(sink, L"\t", pugi::format_indent | pugi::format_write_bom, pugi::encoding_utf8);
        writes.push_back((Now() - start) * msPerTick);

        cpu = ThreadCpuMs();
        start = Now();
        const bool saved = settings->Save(path.c_str());
        saves.push_back((Now() - start) * msPerTick);
        saveCpu.push_back(ThreadCpuMs() - cpu);
        if (!saved)
        {
            std::printf("save %d failed\n", run);
            return 1;
        }
    }

    const Figures load = Summarise(loads);
    const Figures save = Summarise(saves);
    std::printf("load: median %.1f ms, min %.1f ms, max %.1f ms (%d runs)\n", load.median, load.min, load.max, Runs);
    const Figures parse = Summarise(parses);
    const Figures write = Summarise(writes);
    const Figures loadThread = Summarise(loadCpu);
    const Figures saveThread = Summarise(saveCpu);
    std::printf("  processor time: median %.1f ms, min %.1f ms, max %.1f ms\n", loadThread.median, loadThread.min,
                loadThread.max);
    std::printf("  of which XML parse alone: median %.1f ms, min %.1f ms, max %.1f ms\n", parse.median, parse.min,
                parse.max);
    const Figures parseThread = Summarise(parseCpu);
    std::printf("    processor time: median %.1f ms, min %.1f ms, max %.1f ms\n", parseThread.median, parseThread.min,
                parseThread.max);
    std::printf("  load / parse: median %.2f of the runs' ratios; %.2f of the medians, %.2f of the minimums\n",
                Summarise(ratios).median, load.median / parse.median, load.min / parse.min);
    std::printf("save: median %.1f ms, min %.1f ms, max %.1f ms (%d runs)\n", save.median, save.min, save.max, Runs);
    std::printf("  processor time: median %.1f ms, min %.1f ms, max %.1f ms\n", saveThread.median, saveThread.min,
                saveThread.max);
    std::printf("  of which XML write alone: median %.1f ms, min %.1f ms, max %.1f ms\n", write.median, write.min,
                write.max);

    // What the library allocates for one load (the XML parser's own memory aside).
    if (importcount::Install(::GetModuleHandleW(nullptr)) > 0)
    {
        importcount::g_countedThread = ::GetCurrentThreadId();
        auto settings = std::make_unique<CSettings>(false, CMouseInfo(0, 0, 0));
        bool regions = false;
        const auto before = importcount::Snapshot::Take();
        settings->Load(path.c_str(), regions, false);
        const auto after = importcount::Snapshot::Take();
        importcount::g_countedThread = 0;
        const auto allocations = [&](importcount::Counter counter) { return after.counts[counter] - before.counts[counter]; };
        std::printf("  allocations of one load: operator new %ld, operator new[] %ld, malloc %ld\n",
                    allocations(importcount::OperatorNew), allocations(importcount::OperatorNewArray),
                    allocations(importcount::Malloc));
    }
    ::DeleteFileW(path.c_str());
    return 0;
}
