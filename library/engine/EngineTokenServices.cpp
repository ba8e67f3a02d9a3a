#include "EngineTokenServices.h"

#include "ApplicationSettings.h"
#include "Control.h"
#include "Layers.h"

void CEngineTokenServices::SetCurrentLayer(int layer, bool notify, bool autoSwitch, bool rememberLast)
{
    ::SetCurrentLayer(layer, notify, autoSwitch, rememberLast);
}

void CEngineTokenServices::SetLayerSetByAction(bool flag)
{
    m_bLayerSetByAction = flag;
}

bool CEngineTokenServices::IsLayerSkipped(const CApplicationSettings* profile, int layer)
{
    // The same layers NextLayer and PreviousLayer step over.
    if (profile == nullptr || !CApplicationSettings::ValidLayer(layer))
        return false;
    return profile->GetLayerDisabled(layer) || profile->GetLayerDisabledNextPrev(layer, false);
}

HWND CEngineTokenServices::GetProfileWindow()
{
    return ::GetProfileWindow();
}

CEngineTokenServices& EngineTokenServices()
{
    static CEngineTokenServices services;
    return services;
}

void InstallEngineTokenServices()
{
    SetTokenServices(&EngineTokenServices());
}
