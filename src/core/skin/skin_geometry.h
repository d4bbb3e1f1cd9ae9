// core/skin: the main window's sizes and regions, as numbers, for the GUI to draw.
// Depends only on platform.
//
// The numbers of the painted main window: its size from the desktop, the tab hit bands, the
// frame, the page area with its octagon, the page toolbar and the tray tip.
#pragma once

#include <string>
#include <vector>

namespace quillrun {

struct SizeWH {
    int width;
    int height;
};
struct Rect {
    int left, top, right, bottom;  // right and bottom exclusive
    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
};
struct PointXY {
    int x, y;
};

// Tab positions. Positions 0 and 1 are the two views of the Record page; 3 is unused.
constexpr int kTabBrowse = 0;
constexpr int kTabRecord = 1;
constexpr int kTabTask = 2;
constexpr int kTabSettings = 4;

// The main window's size for a desktop of the given size (all 4:3).
SizeWH MainWindowSizeFor(int desktopWidth, int desktopHeight);

// The tab whose hit band holds the point (x from 4 to 110; later bands win), or -1.
int TabAtPoint(int x, int y);

// Where a piece of "object/tab.ni_" (rows srcTop to srcTop + srcHeight) is drawn.
struct StripPiece {
    int srcTop, srcHeight, dstTop, dstHeight;
};
// The tab strip in a window of client height h: the tabs 0-2 (rows 0-299) at (5, 55), the
// unused place and the Settings tab (rows 400-499) at (5, 455). A window too short for the whole
// strip (the two smaller sizes) moves the Settings tab up to its bottom edge and, below 457 pixels,
// squeezes both pieces, so that 設定 is always seen whole and can be clicked.
std::vector<StripPiece> TabStripPieces(int h);
// The tab under a point of a window of height h: the hit bands follow the pieces as drawn.
int TabAtPointIn(int x, int y, int h);

// Left edge of the 790-pixel banner, centred in a window of width w.
int BannerLeft(int w);

Rect FrameRect(int w, int h);
std::vector<PointXY> FrameOctagon(int w, int h);

// The page area in client coordinates and its octagon in the page's own coordinates.
Rect PageRect(int w, int h);
std::vector<PointXY> PageRegion(int w, int h);

struct ToolbarButton {
    Rect rect;
    int labelX;
    std::string label;  // CP932
    bool red;           // "記録中" / "再生中"
};

// The buttons of a tab's page toolbar; recording and playing change the labels of tab 1.
std::vector<ToolbarButton> ToolbarButtons(int tab, bool recording, bool playing);
// The toolbar button k (0-based) a press at (x, y) in a Record or Task page hits: buttons are
// 89 pixels wide from x = 0, the last also taking its right edge; -1 outside.
int ToolbarButtonAt(int x, int y, int buttonCount);

// "%s Webリクエスト自動再生機 -KESTREL- Ver1.10", cut to 63 bytes of CP932.
std::string TrayTip(const std::string& stateText);

}  // namespace quillrun
