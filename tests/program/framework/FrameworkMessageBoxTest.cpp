#include <gtest/gtest.h>

#include <windows.h>

#include "Application.h"
#include "MessageBox.h"

TEST(FrameworkMessageBox, ABoxWithoutAnIconGetsTheOneItsButtonsCallForAndTheApplicationsTitle)
{
    struct Case
    {
        UINT type;
        UINT shownType;
    };
    const Case cases[] = {
        {MB_OK, MB_OK | MB_ICONEXCLAMATION},
        {MB_OKCANCEL, MB_OKCANCEL | MB_ICONEXCLAMATION},
        {MB_YESNO, MB_YESNO | MB_ICONQUESTION},
        {MB_YESNOCANCEL | MB_DEFBUTTON2, MB_YESNOCANCEL | MB_DEFBUTTON2 | MB_ICONQUESTION},
        {MB_OK | MB_ICONERROR, MB_OK | MB_ICONERROR},
        {MB_YESNO | MB_ICONINFORMATION, MB_YESNO | MB_ICONINFORMATION},
    };
    CApplication app(L"Box title");
    for (const Case& c : cases)
    {
        MessageBoxRequest seen = {};
        ScopedMessageBoxHandler seam([&](const MessageBoxRequest& r) {
            seen = r;
            return IDNO;
        });
        EXPECT_EQ(ShowMessageBox(L"Question?", c.type), IDNO);
        EXPECT_EQ(seen.type, c.shownType) << std::hex << c.type;
        EXPECT_EQ(seen.text, L"Question?");
        EXPECT_EQ(seen.caption, L"Box title");
    }
    MessageBoxRequest seen = {};
    ScopedMessageBoxHandler seam([&](const MessageBoxRequest& r) {
        seen = r;
        return IDOK;
    });
    ShowMessageBox(L"x", MB_OK, nullptr, L"Own caption");
    EXPECT_EQ(seen.caption, L"Own caption");
}
