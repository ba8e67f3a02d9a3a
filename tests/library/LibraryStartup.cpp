// The library's start-up for the test programs that link its objects: what
// the DLL's process attach does, done once before the first test with this
// program as the library's module (its cursors are compiled into it). Like
// the DLL at process exit, nothing is torn down: the system frees the rest.

#include <gtest/gtest.h>

#include <windows.h>

#include "LibraryLifetime.h"

namespace
{
class LibraryStartup : public ::testing::Environment
{
public:
    void SetUp() override { LibraryAttach(::GetModuleHandleW(nullptr)); }
};

// After every static constructor of the library's objects, as in the DLL.
[[maybe_unused]] ::testing::Environment* const g_startup = ::testing::AddGlobalTestEnvironment(new LibraryStartup);
}
