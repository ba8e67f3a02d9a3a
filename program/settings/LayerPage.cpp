// The settings dialog's layer pages: a CLayerTab behind the dialog's page
// interface, which also serves the page as its host.

#include <memory>

#include "LangSupport.h"
#include "LayerTab.h"
#include "LayerTabHost.h"
#include "LayerTransfer.h"
#include "SetupDialog.h"
#include "SetupPages.h"

namespace
{
class CLayerPage : public ISetupLayerPage, public ILayerTabHost
{
public:
    // The page holds a language reference of its own.
    CLayerPage() : m_tab(LangSupport()) {}

    bool CreatePage(const SetupPageContext& context) override
    {
        m_dialog = context.dialog;
        m_actions.clear();
        if (context.actions != nullptr)
            for (const auto& [name, action] : *context.actions)
                m_actions.push_back({name, action});
        return m_tab.Create(context.settings, context.tabs != nullptr ? context.tabs->GetSafeHwnd() : nullptr,
                            &m_actions, context.layer, context.quillon, context.portable, false, false, this);
    }
    CTabPageSSL& Page() override { return m_tab; }
    void SetSettings(CSettings* settings) override { m_tab.SetSettings(settings); }
    void ShowProfile(CApplicationSettings* profile) override { m_tab.UpdateApplication(profile); }
    bool StoreProfile() override
    {
        return !m_tab.IsWindow() || m_tab.GetProfile() == nullptr || m_tab.SaveSettings();
    }
    void Refill() override { m_tab.Refill(); }
    void PopulateLayerCombo() override { m_tab.PopulateLayerCombo(); }
    void ResetActionCombos() override { m_tab.ResetActionCombos(); }
    void HighlightButton(int button, COLORREF colour, bool) override { m_tab.HighlightPicker(button, colour); }

    void EnableApply() override
    {
        if (m_dialog != nullptr)
            m_dialog->EnableApply();
    }
    bool StoreLayerTabs() override
    {
        return m_dialog == nullptr || m_dialog->StoreTabs();
    }
    void RebuildLayerTabs(CLayerTab*, bool layerCountChanged) override
    {
        if (m_dialog != nullptr)
            m_dialog->RebuildLayerTabs(layerCountChanged, this);
    }

    void CopyLayer(CLayerTab& source) override
    {
        if (m_dialog != nullptr)
            RunCopyLayer(*m_dialog, &source, source.GetProfile(), source.GetLayer());
    }
    void SwapLayer(CLayerTab& source) override
    {
        if (m_dialog != nullptr)
            RunSwapLayer(*m_dialog, &source, source.GetProfile(), source.GetLayer());
    }

private:
    CLayerTab m_tab;
    CActionList m_actions;
    CSetupDialog* m_dialog = nullptr;
};
}

std::unique_ptr<ISetupLayerPage> CreateLayerPage(CLangSupport*)
{
    return std::make_unique<CLayerPage>();
}
