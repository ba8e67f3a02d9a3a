// Settings file: load and save of a large file (200 application profiles, all
// ten layers of every one filled with keystrokes, chords, timed clicks and
// movement-to-scroll), each against what the XML layer alone takes for the
// same file: the load against parsing it (and letting the document go, as a
// load does), the save against writing the same document as every file the
// user keeps is written (a new file beside it, flushed, moved in its place):
// what a save does beyond that is work the write does not need. The write to
// nowhere is printed too, for scale. Each run times both sides back to back,
// in turns, from the same state of the heap, and the goal is the median of the
// runs' ratios, which holds on a busy machine. The save is also held to the
// processor time the write takes: the sum over all runs of each side's thread
// time (Wine counts it in 10 ms steps, which the sums over many runs even out;
// the steps seen are printed).
// With --profile it samples where the loads spend their time, with
// --profile-parse where the parse alone does and with --profile-save where
// the saves do (see SamplingProfiler.h for turning the addresses into
// functions); --profiles-only times the profiles' part of a load alone.

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
#include "BenchGoals.h"
#include "ImportCounter.h"
#include "SamplingProfiler.h"
#include "pugixml.hpp"

namespace
{
constexpr int ProfileCount = 200;
constexpr int Runs = 21;

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

// Writes in the pieces the settings file is written in.
class PieceWriter : public pugi::xml_writer
{
public:
    explicit PieceWriter(HANDLE file) : m_file(file) { m_buffer.reserve(Piece); }
    void write(const void* data, size_t size) override
    {
        const char* bytes = static_cast<const char*>(data);
        while (size > 0)
        {
            const size_t taken = std::min(size, Piece - m_buffer.size());
            m_buffer.insert(m_buffer.end(), bytes, bytes + taken);
            bytes += taken;
            size -= taken;
            if (m_buffer.size() == Piece)
                Flush();
        }
    }
    bool Flush()
    {
        DWORD written = 0;
        const bool ok = m_buffer.empty() ||
                        (::WriteFile(m_file, m_buffer.data(), static_cast<DWORD>(m_buffer.size()), &written, nullptr) &&
                         written == m_buffer.size());
        m_ok = m_ok && ok;
        m_buffer.clear();
        return m_ok;
    }

private:
    static constexpr size_t Piece = 256 * 1024;
    HANDLE m_file;
    std::vector<char> m_buffer;
    bool m_ok = true;
};

// The document written as a file the user keeps is written: into a new file
// beside target, flushed, then moved over target (a file of the same size).
bool WriteAsAFile(const pugi::xml_document& document, const std::wstring& target)
{
    const std::wstring temp = target + L".tmp";
    HANDLE file = ::CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    PieceWriter writer(file);
    document.save(writer, L"\t", pugi::format_indent | pugi::format_write_bom, pugi::encoding_utf8);
    const bool written = writer.Flush() && ::FlushFileBuffers(file);
    ::CloseHandle(file);
    return written && ::MoveFileExW(temp.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
}

long FileSize(const std::wstring& path)
{
    WIN32_FILE_ATTRIBUTE_DATA data = {};
    if (!::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data))
        return -1;
    return static_cast<long>(data.nFileSizeLow);
}

// What the library allocates for one load (the XML parser's own memory aside).
void PrintLoadAllocations(const std::wstring& path)
{
    if (importcount::Install(::GetModuleHandleW(nullptr)) == 0)
        return;
    auto settings = std::make_unique<CSettings>(false, CMouseInfo(0, 0, 0));
    bool regions = false;
    // Static: a snapshot is large for the stack.
    static importcount::Snapshot before;
    static importcount::Snapshot after;
    importcount::SetCountedThread(::GetCurrentThreadId());
    before = importcount::Snapshot::Take();
    settings->Load(path.c_str(), regions, false);
    after = importcount::Snapshot::Take();
    importcount::SetCountedThread(0);
    const importcount::Delta delta{before, after};
    std::printf("  allocations of one load: operator new %lld, operator new[] %lld, malloc %lld\n",
                delta.CallsOf("_Znwy"), delta.CallsOf("_Znay"), delta.CallsOf("malloc"));
}

// Loads, parses or saves the file over and over under the sampling profiler
// and prints where the time went.
enum class Profiled
{
    Load,
    Parse,
    Save
};

int ProfileRuns(const std::wstring& path, Profiled what)
{
    // The model the saves write, loaded once.
    auto saved = std::make_unique<CSettings>(false, CMouseInfo(0, 0, 0));
    bool loadedRegions = false;
    saved->Load(path.c_str(), loadedRegions, false);
    HANDLE self = nullptr;
    ::DuplicateHandle(::GetCurrentProcess(), ::GetCurrentThread(), ::GetCurrentProcess(), &self, 0, FALSE,
                      DUPLICATE_SAME_ACCESS);
    sampling::Profiler profiler(self);
    profiler.Start();
    for (int run = 0; run < 3 * Runs; ++run)
    {
        if (what == Profiled::Save)
        {
            saved->Save(path.c_str());
            continue;
        }
        if (what == Profiled::Parse)
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
    PrintLoadAllocations(path);
    ::DeleteFileW(path.c_str());
    return 0;
}
}

int wmain(int argc, wchar_t** argv)
{
    // What the DLL does when it is loaded: the library is linked into this program.
    LibraryAttach(::GetModuleHandleW(nullptr));
    std::setvbuf(stdout, nullptr, _IONBF, 0);
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
    model.reset();
    std::printf("file: %ld bytes\n", FileSize(path));
    if (argc > 1 && std::wstring(argv[1]) == L"--profile")
        return ProfileRuns(path, Profiled::Load);
    if (argc > 1 && std::wstring(argv[1]) == L"--profile-save")
        return ProfileRuns(path, Profiled::Save);
    if (argc > 1 && std::wstring(argv[1]) == L"--profile-parse")
        return ProfileRuns(path, Profiled::Parse);
    constexpr unsigned int ParseFlags = pugi::parse_default | pugi::parse_comments | pugi::parse_declaration;
    if (argc > 1 && std::wstring(argv[1]) == L"--profiles-only")
    {
        // The profiles read from a document parsed once, again and again: the
        // part of a load beyond the parse, steadier than a whole load.
        pugi::xml_document document;
        document.load_file(path.c_str(), ParseFlags);
        auto settings = std::make_unique<CSettings>(false, CMouseInfo(0, 0, 0));
        std::vector<double> times;
        for (int run = 0; run < 3 * Runs; ++run)
        {
            std::vector<std::unique_ptr<CApplicationSettings>> profiles;
            const LONGLONG start = Now();
            for (pugi::xml_node element : document.child(L"root").child(L"Applications").children(L"Application"))
            {
                profiles.push_back(std::make_unique<CApplicationSettings>(settings.get(), false,
                                                                          static_cast<int>(profiles.size()) + 1));
                bool regions = false;
                int used = 0;
                profiles.back()->Load(element, 5, regions, used);
            }
            times.push_back((Now() - start) * msPerTick);
        }
        const Figures figures = Summarise(times);
        std::printf("profiles from a parsed document: median %.2f ms, min %.2f ms (%d runs)\n", figures.median,
                    figures.min, 3 * Runs);
        ::DeleteFileW(path.c_str());
        return 0;
    }
    // The document the XML write alone writes: the same content as each save,
    // over a copy of the settings file.
    pugi::xml_document reference;
    if (!reference.load_file(path.c_str(), ParseFlags))
    {
        std::printf("the file does not parse\n");
        return 1;
    }
    const std::wstring written = path + L".written.xml";
    if (!::CopyFileW(path.c_str(), written.c_str(), FALSE))
    {
        std::printf("no copy of the file to write over\n");
        return 1;
    }

    std::vector<double> loads, parses, loadRatios, loadCpu, parseCpu;
    std::vector<double> saves, writes, saveRatios, saveCpu, writeCpu, serialisations, serialisationRatios;
    std::vector<double> changedSaves;
    for (int run = 0; run < Runs; ++run)
    {
        const auto parseAlone = [&] {
            const double cpu = ThreadCpuMs();
            const LONGLONG start = Now();
            {
                pugi::xml_document document;
                document.load_file(path.c_str(), ParseFlags);
            }
            parses.push_back((Now() - start) * msPerTick);
            parseCpu.push_back(ThreadCpuMs() - cpu);
        };
        auto settings = std::make_unique<CSettings>(false, CMouseInfo(0, 0, 0));
        bool loaded = false;
        const auto load = [&] {
            bool regions = false;
            const double cpu = ThreadCpuMs();
            const LONGLONG start = Now();
            loaded = settings->Load(path.c_str(), regions, false) && settings->GetApplicationCount() == ProfileCount;
            loads.push_back((Now() - start) * msPerTick);
            loadCpu.push_back(ThreadCpuMs() - cpu);
        };
        if (run % 2 == 0)
        {
            parseAlone();
            load();
        }
        else
        {
            load();
            parseAlone();
        }
        if (!loaded)
        {
            std::printf("load %d failed (%d profiles)\n", run, settings->GetApplicationCount());
            return 1;
        }
        loadRatios.push_back(loads.back() / parses.back());

        bool wrote = false;
        const auto writeAlone = [&] {
            const double cpu = ThreadCpuMs();
            const LONGLONG start = Now();
            wrote = WriteAsAFile(reference, written);
            writes.push_back((Now() - start) * msPerTick);
            writeCpu.push_back(ThreadCpuMs() - cpu);
        };
        bool saved = false;
        const auto save = [&] {
            const double cpu = ThreadCpuMs();
            const LONGLONG start = Now();
            saved = settings->Save(path.c_str());
            saves.push_back((Now() - start) * msPerTick);
            saveCpu.push_back(ThreadCpuMs() - cpu);
        };
        if (run % 2 == 0)
        {
            writeAlone();
            save();
        }
        else
        {
            save();
            writeAlone();
        }
        if (!saved || !wrote)
        {
            std::printf("save %d failed (%s)\n", run, saved ? "the write alone" : "the save");
            return 1;
        }
        saveRatios.push_back(saves.back() / writes.back());
        {
            NullWriter sink;
            const LONGLONG start = Now();
            reference.save(sink, L"\t", pugi::format_indent | pugi::format_write_bom, pugi::encoding_utf8);
            serialisations.push_back((Now() - start) * msPerTick);
            serialisationRatios.push_back(saves.back() / serialisations.back());
        }

        // For scale, not a goal: a save after another program changed the file
        // reads it again for what the model does not write.
        if (run % 3 == 0)
        {
            HANDLE file = ::CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                        OPEN_EXISTING, 0, nullptr);
            FILETIME later = {};
            ::GetSystemTimeAsFileTime(&later);
            ::SetFileTime(file, nullptr, nullptr, &later);
            ::CloseHandle(file);
            const LONGLONG start = Now();
            if (!settings->Save(path.c_str()))
            {
                std::printf("save after a change %d failed\n", run);
                return 1;
            }
            changedSaves.push_back((Now() - start) * msPerTick);
        }
    }

    const Figures load = Summarise(loads);
    const Figures parse = Summarise(parses);
    std::printf("load: median %.1f ms, min %.1f ms, max %.1f ms (%d runs)\n", load.median, load.min, load.max, Runs);
    std::printf("  processor time: median %.1f ms\n", Summarise(loadCpu).median);
    std::printf("  XML parse alone (and its document let go): median %.1f ms, min %.1f ms, max %.1f ms\n", parse.median,
                parse.min, parse.max);
    std::printf("    processor time: median %.1f ms\n", Summarise(parseCpu).median);
    const Figures loadRatio = Summarise(loadRatios);
    std::printf("  load / parse: median %.2f of the runs' ratios (min %.2f, max %.2f)\n", loadRatio.median, loadRatio.min,
                loadRatio.max);
    const Figures save = Summarise(saves);
    const Figures write = Summarise(writes);
    std::printf("save: median %.1f ms, min %.1f ms, max %.1f ms (%d runs)\n", save.median, save.min, save.max, Runs);
    std::printf("  processor time: median %.1f ms\n", Summarise(saveCpu).median);
    std::printf("  XML write alone (same document, new file flushed and moved in place): median %.1f ms, min %.1f ms, "
                "max %.1f ms\n", write.median, write.min, write.max);
    std::printf("    processor time: median %.1f ms\n", Summarise(writeCpu).median);
    const Figures saveRatio = Summarise(saveRatios);
    std::printf("  save / write: median %.2f of the runs' ratios (min %.2f, max %.2f)\n", saveRatio.median, saveRatio.min,
                saveRatio.max);
    double saveCpuSum = 0;
    double writeCpuSum = 0;
    double cpuStep = 0;
    for (size_t i = 0; i < saveCpu.size(); ++i)
    {
        saveCpuSum += saveCpu[i];
        writeCpuSum += writeCpu[i];
        for (double step : {saveCpu[i], writeCpu[i]})
            if (step > 0 && (cpuStep == 0 || step < cpuStep))
                cpuStep = step;
    }
    const double saveCpuRatio = writeCpuSum > 0 ? saveCpuSum / writeCpuSum : 0.0;
    std::printf("  save / write processor time: %.2f (%.0f ms / %.0f ms over %d runs; smallest step seen %.1f ms)\n",
                saveCpuRatio, saveCpuSum, writeCpuSum, Runs, cpuStep);
    std::printf("  for scale: the document's text alone (written nowhere): median %.1f ms; save / that: median %.2f\n",
                Summarise(serialisations).median, Summarise(serialisationRatios).median);
    std::printf("  a save after another program changed the file (read again): median %.1f ms (%zu runs)\n",
                Summarise(changedSaves).median, changedSaves.size());

    PrintLoadAllocations(path);
    ::DeleteFileW(path.c_str());
    ::DeleteFileW(written.c_str());

    benchgoal::AtMost("settings-load-per-parse", loadRatio.median, 1.5);
    benchgoal::AtMost("settings-save-per-write", saveRatio.median, 1.5);
    if (writeCpuSum > 0)
        benchgoal::AtMost("settings-save-cpu-per-write", saveCpuRatio, 1.5);
    else
        benchgoal::NotMeasured("settings-save-cpu-per-write", 1.5);
    return benchgoal::ExitCode();
}
