// What the library keeps in its state file (the layer in force and, in
// portable mode, the day of the last update check) is on disk once the
// library is told to stop: the program stops the hooks before it ends, and
// nothing of the library runs when the process ends.

#include <gtest/gtest.h>

#include <windows.h>

#include "Control.h"
#include "Folders.h"
#include "Globals.h"
#include "Hooks.h"
#include "LayerTestSupport.h"
#include "Layers.h"
#include "PersistantSettings.h"
#include "Settings.h"
#include "TempFolder.h"

namespace
{
class LibraryStopState : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_folder.IsValid());
        m_file = m_folder.PathOf(kStateFileName);
        // The state as a previous run left it, loaded as the program's start loads it.
        CPersistantSettings previous(m_file.c_str(), 0, 100, true);
        ASSERT_TRUE(previous.Save());
        m_saved = g_pPersist;
        g_pPersist = new CPersistantSettings(m_file.c_str(), 0, 0, true);
        ASSERT_TRUE(g_pPersist->Load());
        m_wasPortable = IsPortableMode();
        SetPortableMode(true);
    }
    void TearDown() override
    {
        SetPortableMode(m_wasPortable);
        delete g_pPersist;
        g_pPersist = m_saved;
    }

    brmptest::TempFolder m_folder{L"brmpstopstate"};
    std::wstring m_file;
    CPersistantSettings* m_saved = nullptr;
    bool m_wasPortable = false;
};
} // namespace

TEST_F(LibraryStopState, TheLayerAndTheLastUpdateCheckAreWrittenWhenTheHooksAreRemoved)
{
    layertest::EngineStateGuard state(4);
    SetCurrentLayer(2, false, false, false);
    SetLastUpdateCheck(4321);

    RemoveMouseHook(true);

    CPersistantSettings written(m_file.c_str());
    ASSERT_TRUE(written.Load());
    EXPECT_EQ(written.GetLayer(), 2);
    EXPECT_EQ(written.GetLastUpdateCheck(), 4321);
}

TEST_F(LibraryStopState, InstalledTheLayerIsWrittenOnlyWhileItIsToBeRemembered)
{
    SetPortableMode(false);
    const bool remembered = g_pSettings->m_bPersistLayer;
    layertest::EngineStateGuard state(4);
    for (const bool remember : {false, true})
    {
        SCOPED_TRACE(remember ? "remembered" : "not remembered");
        g_pSettings->m_bPersistLayer = remember;
        SetCurrentLayer(remember ? 3 : 1, false, false, false);
        RemoveMouseHook(true);
        CPersistantSettings written(m_file.c_str());
        ASSERT_TRUE(written.Load());
        EXPECT_EQ(written.GetLayer(), remember ? 3 : 0);
    }
    g_pSettings->m_bPersistLayer = remembered;
}
