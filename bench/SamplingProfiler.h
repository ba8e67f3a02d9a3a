#pragma once
// A small sampling profiler for benchmarks: a thread of its own suspends the
// measured thread every millisecond, reads its instruction pointer and walks a
// few frames up with the unwind tables, and counts where it stood. The report
// gives each address as module+offset from where the module was loaded, which
// the build's debug information turns into a function and line on the build
// machine (add the ImageBase that objdump -p shows):
//   x86_64-w64-mingw32-addr2line -f -C -e build/bin/<the benchmark>.exe 0x<ImageBase + offset>
// Self counts say where the time is spent; inclusive counts (an address seen
// anywhere in the walked frames) say which caller it is spent for.

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace sampling
{
class Profiler
{
public:
    explicit Profiler(HANDLE thread) : m_thread(thread) {}
    Profiler(const Profiler&) = delete;
    Profiler& operator=(const Profiler&) = delete;
    ~Profiler() { Stop(); }

    void Start()
    {
        m_stop = false;
        m_sampler = ::CreateThread(nullptr, 0, &Profiler::Run, this, 0, nullptr);
    }

    void Stop()
    {
        if (m_sampler == nullptr)
            return;
        m_stop = true;
        ::WaitForSingleObject(m_sampler, INFINITE);
        ::CloseHandle(m_sampler);
        m_sampler = nullptr;
    }

    // The most frequent addresses, self and inclusive, each as module+offset.
    void Report(std::FILE* out, std::size_t top) const
    {
        std::fprintf(out, "samples: %lu\n", static_cast<unsigned long>(m_samples));
        Print(out, "self", m_self, top);
        Print(out, "inclusive (callers up to %d frames)", m_inclusive, top);
    }

private:
    static constexpr int kFrames = 8;

    static DWORD WINAPI Run(void* self)
    {
        static_cast<Profiler*>(self)->Sample();
        return 0;
    }

    void Sample()
    {
        ::SetThreadPriority(::GetCurrentThread(), THREAD_PRIORITY_TIME_CRITICAL);
        while (!m_stop)
        {
            ::Sleep(1);
            // Nothing is allocated while the thread is held: it may hold the heap's lock.
            DWORD64 frames[kFrames] = {};
            int count = 0;
            if (::SuspendThread(m_thread) == static_cast<DWORD>(-1))
                continue;
            CONTEXT context = {};
            context.ContextFlags = CONTEXT_FULL;
            if (::GetThreadContext(m_thread, &context))
                count = Walk(context, frames);
            ::ResumeThread(m_thread);
            if (count > 0)
                Record(frames, count);
        }
    }

    static int Walk(CONTEXT& context, DWORD64 (&frames)[kFrames])
    {
        int count = 0;
        while (count < kFrames && context.Rip != 0)
        {
            const DWORD64 pc = context.Rip;
            frames[count++] = pc;
            DWORD64 imageBase = 0;
            PRUNTIME_FUNCTION function = ::RtlLookupFunctionEntry(pc, &imageBase, nullptr);
            if (function == nullptr)
                break; // no unwind data: the caller cannot be found reliably
            void* handlerData = nullptr;
            DWORD64 establisher = 0;
            ::RtlVirtualUnwind(UNW_FLAG_NHANDLER, imageBase, pc, function, &context, &handlerData, &establisher,
                               nullptr);
        }
        return count;
    }

    void Record(const DWORD64 (&frames)[kFrames], int count)
    {
        ++m_samples;
        ++m_self[frames[0]];
        for (int i = 0; i < count; ++i)
        {
            if (std::find(frames, frames + i, frames[i]) == frames + i)
                ++m_inclusive[frames[i]];
        }
    }

    // Function-level grouping is left to addr2line: the same function shows at
    // several addresses, which the reader adds up.
    static void Print(std::FILE* out, const char* title, const std::map<DWORD64, unsigned long>& counts,
                      std::size_t top)
    {
        std::vector<std::pair<DWORD64, unsigned long>> sorted(counts.begin(), counts.end());
        std::sort(sorted.begin(), sorted.end(), [](const auto& a, const auto& b) { return a.second > b.second; });
        std::fprintf(out, title, kFrames);
        std::fprintf(out, "\n");
        for (std::size_t i = 0; i < sorted.size() && i < top; ++i)
        {
            HMODULE module = nullptr;
            char name[MAX_PATH] = "?";
            if (::GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                                     reinterpret_cast<LPCSTR>(sorted[i].first), &module))
            {
                char path[MAX_PATH] = "";
                ::GetModuleFileNameA(module, path, MAX_PATH);
                const char* slash = std::max(std::strrchr(path, '\\'), std::strrchr(path, '/'));
                std::snprintf(name, sizeof(name), "%s", slash != nullptr ? slash + 1 : path);
            }
            const DWORD64 rva = sorted[i].first - reinterpret_cast<DWORD64>(module);
            std::fprintf(out, "  %6lu  %s+0x%llx\n", sorted[i].second, name, static_cast<unsigned long long>(rva));
        }
    }

    HANDLE m_thread;
    HANDLE m_sampler = nullptr;
    std::atomic<bool> m_stop{false};
    unsigned long m_samples = 0;
    std::map<DWORD64, unsigned long> m_self;
    std::map<DWORD64, unsigned long> m_inclusive;
};
} // namespace sampling
