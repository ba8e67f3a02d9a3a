#pragma once
// The web search for the selected text: copies the selection through the
// clipboard and opens the settings' search address with it, on its own thread.

#include <windows.h>

#include <string>

constexpr size_t kMaxSearchChars = 1024;

// The address opened for text, or empty when nothing is to be opened (no
// address, no text, or text of kMaxSearchChars characters or more).
std::wstring BuildSearchAddress(const wchar_t* searchUrl, const std::wstring& text);

// Thread procedure of one search (parameter unused).
unsigned __stdcall SearchThread(void* unused);
// Starts SearchThread on a new thread; false when the thread could not start.
bool StartWebSearch();
