#include "SetupDialogRunner.h"

#include "LangSupport.h"
#include "Settings.h"
#include "SetupDialog.h"

void CSetupDialogRunner::Run(HWND owner, const std::wstring& importFile, const std::wstring& languageFile, bool portable,
                             bool quillon)
{
    CSetupDialog dialog(portable, quillon, CWindow::FromHandle(owner), importFile, languageFile, m_setupValue);
    struct Open
    {
        CSetupDialog*& slot;
        Open(CSetupDialog*& s, CSetupDialog* d) : slot(s) { slot = d; }
        ~Open() { slot = nullptr; }
    } open(m_dialog, &dialog);

    const INT_PTR result = dialog.DoModal();
    if (result == -1)
        throw std::runtime_error("the settings dialog could not be created");
    // A language pack chosen on a first run (no language before) is kept too.
    if (const wchar_t* language = dialog.Settings()->GetLanguage(); language != nullptr && language[0] != L'\0')
        ::SetLanguageFile(language);
    m_setupValue = dialog.InitialSelection();
}

void CSetupDialogRunner::BringToFront()
{
    if (m_dialog != nullptr)
        m_dialog->BringToFront();
}

void CSetupDialogRunner::Import(const std::wstring& file)
{
    if (m_dialog != nullptr)
        m_dialog->Import(file);
}

bool CSetupDialogRunner::SwitchProfile(const std::wstring& file)
{
    return m_dialog != nullptr && m_dialog->SwitchProfile(file);
}

void CSetupDialogRunner::SelectLanguage(const std::wstring& file)
{
    if (m_dialog != nullptr)
        m_dialog->SelectLanguage(file);
}

void CSetupDialogRunner::EndForExit()
{
    if (m_dialog != nullptr)
        m_dialog->EndForExit();
}
