#pragma once
// The small editor of a "Run Application" action: the program, folder,
// document or address to open, typed or chosen in a file dialog. The caller
// reads m_path after IDOK.

#include <string>

#include "Dialog.h"

class CLangSupport;

class CCustomApp : public CDialog
{
public:
    CCustomApp(CWindow* parent, std::wstring path);
    ~CCustomApp() override;

    std::wstring m_path;

protected:
    BOOL OnInitDialog() override;
    void DoDataExchange(CDataExchange& dx) override;

private:
    void OnBnClickedButton1();

    CLangSupport* m_language;
};
