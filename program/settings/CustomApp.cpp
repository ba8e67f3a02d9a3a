#include "CustomApp.h"

#include <commdlg.h>

#include "CaughtException.h"
#include "DataExchange.h"
#include "FileDialog.h"
#include "LangSupport.h"
#include "Logger.h"
#include "WindowTranslation.h"
#include "resource.h"

CCustomApp::CCustomApp(CWindow* parent, std::wstring path)
    : CDialog(IDD_CUSTOM_APP, parent), m_path(std::move(path)), m_language(LangSupport())
{
    BindCommand(IDC_CUSTOM_APP_BROWSE, &CCustomApp::OnBnClickedButton1);
}

CCustomApp::~CCustomApp()
{
    CLangSupport::Release(m_language);
}

BOOL CCustomApp::OnInitDialog()
{
    TranslateWindowTexts(m_language, m_hWnd, {IDC_CUSTOM_APP_PATH});
    return CDialog::OnInitDialog();
}

void CCustomApp::DoDataExchange(CDataExchange& dx)
{
    ExchangeText(dx, IDC_CUSTOM_APP_PATH, m_path);
}

void CCustomApp::OnBnClickedButton1()
{
    try
    {
        UpdateData(true);
        CLogger::LogDebug(L"CustomApp: OnBnClickedBrowse - Opening file browser");
        FileDialogRequest request;
        request.kind = FileDialogKind::Open;
        request.owner = m_hWnd;
        request.initialFile = m_path;
        request.defaultExtension = L"exe";
        request.filter = LookupText(m_language, std::wstring(L"Applications (*.exe)")) + L"|*.exe|" +
                         LookupText(m_language, std::wstring(L"Shortcuts (*.lnk)")) + L"|*.lnk|" +
                         LookupText(m_language, std::wstring(L"All Files (*.*)")) + L"|*.*||";
        request.flags = OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST | OFN_NOTESTFILECREATE | OFN_ENABLESIZING |
                        OFN_DONTADDTORECENT;
        std::wstring chosen;
        if (ShowFileDialog(request, chosen))
        {
            m_path = chosen;
            UpdateData(false);
        }
    }
    catch (...)
    {
        LogCaughtException(L"CCustomApp::OnBnClickedButton1");
    }
}
