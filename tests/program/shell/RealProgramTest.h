#pragma once
// Tests of the real program, each run in a portable copy of its own.

#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "ProgramRunner.h"
#include "SingleInstance.h"

namespace programtest
{
class RealProgramTest : public ::testing::Test
{
protected:
    explicit RealProgramTest(const wchar_t* folderPrefix) : m_program(folderPrefix) {}

    void SetUp() override
    {
        ASSERT_TRUE(m_program.Prepare());
        m_name = CSingleInstance::CutName(CSingleInstance::ProgramName());
        ASSERT_EQ(::FindWindowW(m_name.c_str(), nullptr), nullptr) << "another instance of the program is running";
    }

    ProgramCopy m_program;
    // The class name of the program's main window.
    std::wstring m_name;
};
} // namespace programtest
