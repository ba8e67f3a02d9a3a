// The layer pages' place in the settings dialog while the program has no
// layer page of its own: an empty page per layer, so that the tabs, their
// labels and the layer count behave as they will with the real pages.

#include "DialogTemplate.h"
#include "SetupPages.h"
#include "TabCtrlSSL.h"

namespace
{
const CDialogTemplate& EmptyPageTemplate()
{
    static const CDialogTemplate page(L"", WS_CHILD | DS_CONTROL, 0, 0, 370, 190, WS_EX_CONTROLPARENT);
    return page;
}

class CEmptyLayerPage : public ISetupLayerPage
{
public:
    CEmptyLayerPage() : m_page(EmptyPageTemplate().Get()) {}

    CTabPageSSL& Page() override { return m_page; }
    bool CreatePage(const SetupPageContext& context) override
    {
        HWND parent = context.tabs != nullptr ? context.tabs->GetParent() : nullptr;
        return m_page.Create(parent);
    }
    void SetSettings(CSettings*) override {}
    void ShowProfile(CApplicationSettings* profile) override { m_profile = profile; }
    bool StoreProfile() override { return m_profile != nullptr; }
    void Refill() override {}
    void PopulateLayerCombo() override {}
    void ResetActionCombos() override {}
    void HighlightButton(int, COLORREF, bool) override {}

private:
    CTabPageSSL m_page;
    CApplicationSettings* m_profile = nullptr;
};
}

std::unique_ptr<ISetupLayerPage> CreateLayerPage(CLangSupport*)
{
    return std::make_unique<CEmptyLayerPage>();
}


