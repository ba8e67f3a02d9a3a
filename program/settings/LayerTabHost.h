#pragma once
// What a layer page needs of the settings dialog that hosts it.

class CLayerTab;

class ILayerTabHost
{
public:
    virtual ~ILayerTabHost() = default;
    // Shows that the dialog holds unsaved edits ("&Apply" enabled).
    virtual void EnableApply() = 0;
    // Stores every layer page into the dialog's settings copy, so that no
    // edit on a page is lost when a page then writes other layers. False when
    // a page refused a value (it has said why and is shown): the page that
    // asked leaves the other layers alone.
    virtual bool StoreLayerTabs() = 0;
    // After a page changed other layers: every page is stored first and then
    // reloaded, and with a changed layer count the tabs are rebuilt.
    virtual void RebuildLayerTabs(CLayerTab* source, bool layerCountChanged) = 0;
    // The page's Copy and Swap buttons: the host chooses the other layer and
    // moves it (a host without layers to move to does nothing).
    virtual void CopyLayer(CLayerTab& /*source*/) {}
    virtual void SwapLayer(CLayerTab& /*source*/) {}
};
