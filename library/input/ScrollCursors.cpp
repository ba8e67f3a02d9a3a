#include "ScrollCursors.h"

#include <string>

#include "Folders.h"
#include "Logger.h"
#include "ThreadLock.h"

HCURSOR CursorScroll = nullptr;
HCURSOR CursorScrollX = nullptr;
HCURSOR CursorScrollY = nullptr;

namespace
{
struct CursorSlot
{
    HCURSOR* cursor;
    const wchar_t* file;
    int resource;
    const wchar_t* failure;
};

const CursorSlot kSlots[] = {
    {&CursorScroll, L"scroll.cur", IDC_BRMP_SCROLL, L"DestroyCursors: Unable to destory CursorScroll"},
    {&CursorScrollX, L"scrollx.cur", IDC_BRMP_SCROLLX, L"DestroyCursors: Unable to destory CursorScrollX"},
    {&CursorScrollY, L"scrolly.cur", IDC_BRMP_SCROLLY, L"DestroyCursors: Unable to destory CursorScrollY"},
};
}

void LoadCursors(HINSTANCE module)
{
    CThreadLock lock(L"Snarehold::LoadCursors");
    DestroyCursors();
    wchar_t folder[4096] = L"";
    const bool haveFolder = GetSettingsFolder(folder, 4096) == 0 && folder[0] != L'\0';
    for (const CursorSlot& slot : kSlots)
    {
        if (haveFolder)
        {
            std::wstring path = folder;
            if (path.back() != L'\\' && path.back() != L'/')
                path += L'\\';
            path += slot.file;
            *slot.cursor = static_cast<HCURSOR>(
                ::LoadImageW(nullptr, path.c_str(), IMAGE_CURSOR, 0, 0, LR_DEFAULTSIZE | LR_LOADFROMFILE));
        }
        if (*slot.cursor == nullptr && module != nullptr)
            *slot.cursor = static_cast<HCURSOR>(
                ::LoadImageW(module, MAKEINTRESOURCEW(slot.resource), IMAGE_CURSOR, 0, 0, LR_DEFAULTSIZE));
    }
}

void DestroyCursors()
{
    CThreadLock lock(L"Snarehold::DestroyCursors");
    for (const CursorSlot& slot : kSlots)
    {
        if (*slot.cursor == nullptr)
            continue;
        if (!::DestroyCursor(*slot.cursor))
            CLogger::LogMessage(slot.failure);
        *slot.cursor = nullptr;
    }
}
