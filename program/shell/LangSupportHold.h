#pragma once
// The program's own reference to the language object, held for its whole
// life: the configured pack loaded at start-up and the framework's texts
// pointed at it. Without it the table would be freed whenever the last
// dialog that looked something up went away, and the pack lost.

class CLangSupport;

class CProgramLanguage
{
public:
    CProgramLanguage() = default;
    ~CProgramLanguage() { End(); }
    CProgramLanguage(const CProgramLanguage&) = delete;
    CProgramLanguage& operator=(const CProgramLanguage&) = delete;

    // Takes the reference (once), loads the named pack (empty or null: English)
    // and points the framework's texts at the table. SetLanguageFile's result.
    bool Begin(const wchar_t* fileName);
    // Framework texts back to English and the reference dropped.
    void End();
    CLangSupport* Get() const { return m_language; }

private:
    CLangSupport* m_language = nullptr;
};
