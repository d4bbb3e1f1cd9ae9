#include "core/skin/skin_geometry.h"

#include <algorithm>
#include <cmath>

#include "core/platform/cp932.h"

namespace quillrun {

SizeWH MainWindowSizeFor(int w, int h) {
    if (w > 1500 && h > 1100)
        return {1500, 1125};
    if (w > 1200 && h > 1000)
        return {1100, 825};
    if (w > 1000 && h > 700)
        return {900, 675};
    if (w >= 790 && h >= 590)
        return {700, 525};
    return {600, 450};
}

int TabAtPoint(int x, int y) {
    if (x < 4 || x > 110)
        return -1;
    int tab = -1;
    if (y >= 54 && y <= 155)
        tab = kTabBrowse;
    if (y >= 154 && y <= 255)
        tab = kTabRecord;
    if (y >= 254 && y <= 355)
        tab = kTabTask;
    if (y >= 454 && y <= 555)
        tab = kTabSettings;
    return tab;
}

std::vector<StripPiece> TabStripPieces(int h) {
    constexpr int kTop = 55, kTabsHeight = 300, kSettingsTop = 455, kMargin = 2;
    // Tabs 0-2 and the Settings tab, stacked without the unused fourth place.
    double scale = std::min(1.0, static_cast<double>(h - kTop - kMargin) / 400.0);
    scale = std::max(scale, 0.5);
    int tabsHeight = static_cast<int>(kTabsHeight * scale);
    int settingsHeight = static_cast<int>(100 * scale);
    int settingsTop = std::min(kSettingsTop, h - kMargin - settingsHeight);
    settingsTop = std::max(settingsTop, kTop + tabsHeight);
    std::vector<StripPiece> pieces = {{0, kTabsHeight, kTop, tabsHeight}};
    // What is left of the unused place between them keeps the strip's own background.
    int gap = settingsTop - (kTop + tabsHeight);
    if (gap > 0)
        pieces.push_back({kTabsHeight, std::min(gap, 100), kTop + tabsHeight, gap});
    pieces.push_back({400, 100, settingsTop, settingsHeight});
    return pieces;
}

int TabAtPointIn(int x, int y, int h) {
    std::vector<StripPiece> pieces = TabStripPieces(h);
    // A band reaches one pixel above its piece (54-155 for the first tab), as the drawn one.
    const StripPiece& piece = (y >= pieces.back().dstTop - 1) ? pieces.back() : pieces.front();
    double scale = static_cast<double>(piece.dstHeight) / piece.srcHeight;
    double stripY = piece.srcTop + (y - piece.dstTop) / scale;
    return TabAtPoint(x, 55 + static_cast<int>(std::lround(stripY)));
}

int BannerLeft(int w) {
    return static_cast<int>((static_cast<double>(w) - 790.0) / 2.0);
}

Rect FrameRect(int w, int h) {
    return {111, 55, w - 20, h - 45};
}

std::vector<PointXY> FrameOctagon(int w, int h) {
    return {{127, 74},        {135, 65},        {w - 48, 65},  {w - 40, 74},
            {w - 40, h - 66}, {w - 48, h - 57}, {135, h - 57}, {127, h - 66}};
}

Rect PageRect(int w, int h) {
    return {127, 65, 127 + w - 157, 65 + h - 122};
}

std::vector<PointXY> PageRegion(int w, int h) {
    return {{0, 9},
            {8, 0},
            {w - 175, 0},
            {w - 167, 9},
            {w - 167, h - 131},
            {w - 175, h - 122},
            {8, h - 122},
            {0, h - 131},
            {0, 74}};
}

std::vector<ToolbarButton> ToolbarButtons(int tab, bool recording, bool playing) {
    static const Rect kRects[] = {
        {0, 0, 90, 30}, {89, 0, 179, 30}, {178, 0, 269, 30}, {267, 0, 359, 30}, {356, 0, 449, 30}};
    static const int kLabelX[] = {25, 114, 203, 292, 381};
    std::vector<std::string> labels;
    std::vector<bool> red;
    switch (tab) {
        case kTabBrowse:
            labels = {J("戻る"), J("進む"), J("中止"), J("更新"), J("ホーム")};
            break;
        case kTabRecord:
            labels = {J(recording ? "記録中" : "記録"), J(playing ? "再生中" : "再生"), J("開く"),
                      J("保存")};
            red = {recording, playing};
            break;
        case kTabTask:
            labels = {J("登録"), J("削除"), J("開く"), J("保存")};
            break;
        case kTabSettings:
            labels = {J("ヘルプ")};
            break;
        default:
            break;
    }
    std::vector<ToolbarButton> buttons;
    for (std::size_t k = 0; k < labels.size(); ++k) {
        int labelX = (tab == kTabSettings) ? 20 : kLabelX[k];
        buttons.push_back({kRects[k], labelX, labels[k], k < red.size() && red[k]});
    }
    return buttons;
}

int ToolbarButtonAt(int x, int y, int buttonCount) {
    if (y < 0 || y > 30 || x < 0)
        return -1;
    int k = x / 89;
    if (k < buttonCount)
        return k;
    if (x == 89 * buttonCount)
        return buttonCount - 1;  // the last button takes its right edge
    return -1;
}

std::string TrayTip(const std::string& stateText) {
    return CutToWidth(stateText + J(" Webリクエスト自動再生機 -KESTREL- Ver1.10"), 64);
}

}  // namespace quillrun
