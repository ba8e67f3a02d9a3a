#pragma once
// Temporary folders for tests: a fresh folder under the temp path, unique in
// this process and across processes, removed with everything in it when the
// owner goes.

#include <optional>
#include <string>
#include <string_view>

namespace brmptest
{

class TempFolder
{
public:
    // Creates <temp>\<prefix>-<pid>-<n>. Check IsValid() (or ASSERT_TRUE on it).
    explicit TempFolder(std::wstring_view prefix = L"brmptest");
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    bool IsValid() const { return !m_path.empty(); }
    explicit operator bool() const { return IsValid(); }
    // The folder's full path, without a trailing backslash.
    const std::wstring& Path() const { return m_path; }
    // Path() + "\" + name (name may contain sub-folders; they are not created).
    std::wstring PathOf(std::wstring_view name) const;

    // Keeps the folder after the owner goes (to look at it after a failure).
    void Keep() { m_keep = true; }

private:
    std::wstring m_path;
    bool m_keep = false;
};

// Whole-file helpers for test data: raw bytes, no conversion.
bool WriteFileBytes(const std::wstring& path, std::string_view bytes);
std::optional<std::string> ReadFileBytes(const std::wstring& path);
// UTF-16 text with or without a byte-order mark (the form the system's own text files use).
bool WriteFileText(const std::wstring& path, std::wstring_view text, bool byteOrderMark = true);

// Removes a file or a folder with everything in it; true when nothing is left.
bool RemoveTree(const std::wstring& path);

} // namespace brmptest
