// Layer actions: next and previous, and the layer buttons that switch while they
// are held and return on their release.

#include "ActionDispatch.h"
#include "ActionDispatchInternal.h"

#include "ActionDispatchState.h"
#include "ApplicationSettings.h"
#include "Globals.h"
#include "HeldInput.h"
#include "Layers.h"
#include "Logger.h"

namespace dispatch
{
namespace
{
// A layer change re-presses the buttons that are down with the new layer's
// actions. The button that asked for the change is not one of them: its own
// press or release is being handled right now, and re-pressing it would run
// the layer action again from inside the change.
class ButtonOutOfLayerChange
{
public:
    explicit ButtonOutOfLayerChange(int button) : m_previous(g_held.LayerButton()) { g_held.SetLayerButton(button); }
    ~ButtonOutOfLayerChange() { g_held.SetLayerButton(m_previous); }
    ButtonOutOfLayerChange(const ButtonOutOfLayerChange&) = delete;
    ButtonOutOfLayerChange& operator=(const ButtonOutOfLayerChange&) = delete;

private:
    int m_previous;
};
} // namespace

BYTE StepLayerAction(const Event& e, int step)
{
    if (!e.Up())
        return 1;
    ButtonOutOfLayerChange guard(e.button);
    if (step > 0)
        NextLayer();
    else
        PreviousLayer();
    return 1;
}

BYTE MomentaryLayer(const Event& e, int layer)
{
    if (e.Down())
    {
        const int current = GetCurrentLayer();
        const CApplicationSettings* profile = g_engine.pCurrentApp != nullptr ? g_engine.pCurrentApp : e.profile;
        const bool revert = profile != nullptr && CApplicationSettings::ValidLayer(current) &&
                            profile->GetRevertLayer1(current);
        g_nReturnLayer = MomentaryReturnLayer(current, revert);
        g_bLayerSwitchedByButton = true;
        g_nLayerButton = e.button;
        g_nLayerButtonLayer = current;
        ButtonOutOfLayerChange guard(e.button);
        ChangeLayer(layer, true);
        return 1;
    }
    if (!e.Up())
        return 1;
    const int target = g_nReturnLayer;
    g_nReturnLayer = -1;
    g_bLayerSwitchedByButton = false;
    g_nLayerButton = -1;
    g_nLayerButtonLayer = -1;
    if (!CanReturnToLayer(target, MaxLayers()))
    {
        CLogger::LogMessage(L"ProcessButtonAction: No layer to return to (%d) after layer %d", target, layer + 1);
        return 1;
    }
    ButtonOutOfLayerChange guard(e.button);
    ChangeLayer(target, false);
    return 1;
}
} // namespace dispatch
