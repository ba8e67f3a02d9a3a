#include <gtest/gtest.h>

// Test executables use the wide entry point like the program (-municode).
int wmain(int argc, wchar_t** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
