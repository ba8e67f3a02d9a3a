#pragma once
// The state that portable mode keeps beside the program instead of in the
// registry: the current layer, the last update check, the user's settings file
// and log folder. Stored in the binary state file "Persist.brmpps".

#include <cstdint>
#include <string>

class CPersistantSettings
{
public:
    // Longest path accepted from the state file (characters); longer lengths
    // make the load fail.
    static constexpr std::int32_t MaxStoredLength = 32767;

    CPersistantSettings(const wchar_t* stateFile, int layer = 0, int lastUpdateCheck = 0, bool dirty = true);
    virtual ~CPersistantSettings();
    CPersistantSettings(const CPersistantSettings&) = delete;
    CPersistantSettings& operator=(const CPersistantSettings&) = delete;

    // Reads the state file. False (and nothing changed) when it is missing,
    // short, or holds a length that is negative, above MaxStoredLength or
    // beyond the file's end. Clears the dirty flag on success.
    bool Load();
    // Writes the state file when something changed: a temporary file in the
    // same folder, flushed, then put in place. False when nothing changed or
    // any step failed (the old file then stays as it was). The dirty flag
    // stays as it is.
    bool Save();

    const wchar_t* GetStateFile() const { return m_stateFile.c_str(); }
    bool IsDirty() const { return m_bDirty; }
    void SetDirty(bool dirty) { m_bDirty = dirty; }

    int GetLayer() const { return m_nLayer; }
    void SetLayer(int layer);
    int GetLastUpdateCheck() const { return m_nLastUpdateCheck; }
    void SetLastUpdateCheck(int value);

    // Null when none. Setting null clears; an equal text changes nothing; any
    // other text is copied and marks the object dirty.
    const wchar_t* GetSettingsFile() const;
    void SetSettingsFile(const wchar_t* path);
    const wchar_t* GetDefaultLogFolder() const;
    void SetDefaultLogFolder(const wchar_t* folder);

private:
    std::wstring m_stateFile;
    std::wstring m_settingsFile;
    bool m_bHasSettingsFile = false;
    std::wstring m_logFolder;
    bool m_bHasLogFolder = false;
    bool m_bDirty;
    std::int32_t m_nLayer;
    std::int32_t m_nLastUpdateCheck;
};

// The process-wide state object, portable mode only (null otherwise). Read and
// changed under the global lock.
extern CPersistantSettings* g_pPersist;

// Each of these takes the global lock.
// Saves and deletes the current object, then creates one for "Persist.brmpps"
// in the settings folder (layer 0, last check 0, marked changed) and loads it.
// The object exists afterwards whatever the load gave; returns the load's result.
bool CreatePersistantSettings();
// Saves the object; false when there is none or nothing was written.
bool SaveGlobalPersistantSettings();
// Saves and deletes the object (library unload).
void DeletePersistantSettings();
