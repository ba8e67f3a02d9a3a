#pragma once
// The pictures with which the library marks the mouse pointer: six coloured
// arrows a profile can choose as its pointer, and overlays (layer number, chord
// mark, timed-click progress) combined into a cursor. The SPI thread owns the
// one instance and sets the results as system cursors. The engine asks for
// them through EngineCursors.h.

#include <windows.h>

#include <vector>

class CSettings;

// Resource ids of the library's colour cursors.
constexpr int IDC_YELLOWCURSOR = 171;
constexpr int IDC_BLUECURSOR = 172;
constexpr int IDC_GREENCURSOR = 173;
constexpr int IDC_ORANGECURSOR = 174;
constexpr int IDC_REDCURSOR = 175;
constexpr int IDC_TURQUOISECURSOR = 176;

// The transparent key colour of every overlay, as stored in a section (0xRRGGBB).
constexpr DWORD kOverlayKey = 0x00FF00FF;

class CCursors
{
public:
    static constexpr int kTimedClickSteps = 4;
    static constexpr int kLayers = 10;
    static constexpr int kColourCursors = 6;

    // With settings the text sizes come from Cursor/OverlayFontSize and
    // Cursor/LayerOverlayFontSize. Loads nothing.
    explicit CCursors(const CSettings* settings);
    virtual ~CCursors();
    CCursors(const CCursors&) = delete;
    CCursors& operator=(const CCursors&) = delete;

    // Rebuilds every overlay and loads the colour cursors from the module.
    bool LoadCursors(HINSTANCE instance, const wchar_t* caller);
    void DestroyCursors();

    HBITMAP GetTimedClickCursorOverlay(int step);
    HBITMAP GetChordCursorOverlay(bool active);
    HBITMAP GetLayerOverlay(int layer);
    HCURSOR GetColourCursor(int index);
    // "0".."5": a copy of that colour cursor; a longer name: a .cur file in the
    // settings folder. The caller owns the result; null when there is none.
    HCURSOR GetPredefinedPointerCursor(const wchar_t* name);

    // New cursors (the caller owns them); null on failure.
    HCURSOR CombineOverlayCursor(HCURSOR cursor, HBITMAP overlay);
    HCURSOR CombineLayerOverlayCursor(HCURSOR cursor, int layer);

    int ChordTextHeight() const { return m_nChordTextHeight; }
    int LayerTextHeight() const { return m_nLayerTextHeight; }

    // The drawing routines (public so that tests can look at the pixels).
    HBITMAP CreateChordOverlayBitmap(bool active);
    HBITMAP CreateTBCOverlayBitmap(int step);
    HBITMAP CreateLayerOverlayBitmap(int layer);

private:
    HCURSOR Combine(HCURSOR cursor, HBITMAP overlay, bool layerAlpha);

    int m_nChordTextHeight = -14;
    int m_nLayerTextHeight = -12;
    HBITMAP m_hTimedClick[kTimedClickSteps] = {};
    HBITMAP m_hLayer[kLayers] = {};
    HBITMAP m_hChord[2] = {}; // active, inactive
    HCURSOR m_hColour[kColourCursors] = {};
    CRITICAL_SECTION m_cs{};
};

// The 32-bit pixels (0xAARRGGBB, top-down rows) of a bitmap, or of a cursor's
// colour picture, with their size; for tests and diagnosis. False on failure
// (a cursor without a colour picture included).
bool ReadBitmapPixels(HBITMAP bitmap, std::vector<DWORD>& pixels, int& width, int& height);
bool ReadCursorPixels(HCURSOR cursor, std::vector<DWORD>& pixels, int& width, int& height);
