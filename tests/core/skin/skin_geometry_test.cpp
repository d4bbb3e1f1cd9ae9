#include "core/skin/skin_geometry.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "core/platform/cp932.h"

namespace quillrun {

TEST(SkinGeometry, WindowSizeFromTheDesktop) {
    auto size = [](int w, int h) {
        SizeWH s = MainWindowSizeFor(w, h);
        return std::make_pair(s.width, s.height);
    };
    using P = std::pair<int, int>;
    EXPECT_EQ(size(1024, 768), (P{900, 675}));
    EXPECT_EQ(size(1280, 1024), (P{1100, 825}));
    EXPECT_EQ(size(800, 600), (P{700, 525}));
    EXPECT_EQ(size(790, 590), (P{700, 525}));
    EXPECT_EQ(size(789, 600), (P{600, 450}));
    EXPECT_EQ(size(640, 480), (P{600, 450}));
    EXPECT_EQ(size(800, 480), (P{600, 450}));
    EXPECT_EQ(size(1600, 1200), (P{1500, 1125}));
    EXPECT_EQ(size(1500, 1200), (P{1100, 825}));  // "greater than": 1500 is not enough
    EXPECT_EQ(size(1920, 1080), (P{1100, 825}));
}

TEST(SkinGeometry, TabHitBandsLaterBandsWin) {
    EXPECT_EQ(TabAtPoint(50, 154), kTabRecord);
    EXPECT_EQ(TabAtPoint(50, 155), kTabRecord);
    EXPECT_EQ(TabAtPoint(50, 153), kTabBrowse);
    EXPECT_EQ(TabAtPoint(50, 54), kTabBrowse);
    EXPECT_EQ(TabAtPoint(50, 53), -1);
    EXPECT_EQ(TabAtPoint(111, 100), -1);
    EXPECT_EQ(TabAtPoint(3, 100), -1);
    EXPECT_EQ(TabAtPoint(4, 100), kTabBrowse);
    EXPECT_EQ(TabAtPoint(110, 300), kTabTask);
    EXPECT_EQ(TabAtPoint(50, 400), -1);  // position 3 has no band
    EXPECT_EQ(TabAtPoint(50, 454), kTabSettings);
    EXPECT_EQ(TabAtPoint(50, 556), -1);
}

// A window tall enough shows the strip as one image with the bands as they are; a shorter one
// keeps every tab whole inside the window, and a click on a tab's middle selects it.
TEST(SkinGeometry, TheTabStripFitsTheWindow) {
    for (int h : {557, 675, 825, 1125}) {
        std::vector<StripPiece> pieces = TabStripPieces(h);
        int row = 55;
        for (const StripPiece& p : pieces) {
            EXPECT_EQ(p.dstTop, row) << h;
            EXPECT_EQ(p.dstHeight, p.srcHeight) << h;
            EXPECT_EQ(p.srcTop, row - 55) << h;
            row += p.dstHeight;
        }
        EXPECT_EQ(row, 555) << h;
        for (int y = 0; y < 1200; ++y) {
            ASSERT_EQ(TabAtPointIn(50, y, h), TabAtPoint(50, y)) << h << " " << y;
        }
    }
    for (int h : {450, 525}) {
        std::vector<StripPiece> pieces = TabStripPieces(h);
        const StripPiece& settings = pieces.back();
        EXPECT_EQ(settings.srcTop, 400);
        EXPECT_LE(settings.dstTop + settings.dstHeight, h) << h;
        EXPECT_GE(settings.dstHeight, 95) << h;  // squeezed a little at most
        for (std::size_t k = 1; k < pieces.size(); ++k)
            EXPECT_EQ(pieces[k].dstTop, pieces[k - 1].dstTop + pieces[k - 1].dstHeight) << h;
        EXPECT_EQ(TabAtPointIn(50, settings.dstTop + settings.dstHeight / 2, h), kTabSettings);
        EXPECT_EQ(TabAtPointIn(50, settings.dstTop + 2, h), kTabSettings);
        EXPECT_EQ(TabAtPointIn(50, settings.dstTop + settings.dstHeight, h), kTabSettings) << h;
        const StripPiece& tabs = pieces.front();
        for (int tab : {kTabBrowse, kTabRecord, kTabTask}) {
            int middle = tabs.dstTop + (tab * 100 + 50) * tabs.dstHeight / 300;
            EXPECT_EQ(TabAtPointIn(50, middle, h), tab) << h;
        }
        EXPECT_EQ(TabAtPointIn(111, settings.dstTop + 50, h), -1);
    }
    // At the usual size the Settings tab moves up by 32 pixels: its old middle still selects it.
    EXPECT_EQ(TabAtPointIn(50, 500, 525), kTabSettings);
    EXPECT_EQ(TabAtPointIn(50, 460, 525), kTabSettings);
}

TEST(SkinGeometry, PageAreaAndItsOctagon) {
    Rect page = PageRect(700, 525);
    EXPECT_EQ(page.left, 127);
    EXPECT_EQ(page.top, 65);
    EXPECT_EQ(page.Width(), 543);
    EXPECT_EQ(page.Height(), 403);
    int maxX = 0, maxY = 0;
    for (const PointXY& p : PageRegion(700, 525)) {
        maxX = std::max(maxX, p.x);
        maxY = std::max(maxY, p.y);
    }
    EXPECT_EQ(maxX, 533);
    EXPECT_EQ(maxY, 403);
    EXPECT_EQ(BannerLeft(700), -45);  // truncated towards zero
    EXPECT_EQ(BannerLeft(1100), 155);
    EXPECT_EQ(BannerLeft(791), 0);
}

TEST(SkinGeometry, ToolbarButtonsAndTheirHits) {
    auto buttons = ToolbarButtons(kTabRecord, true, false);
    ASSERT_EQ(buttons.size(), 4u);
    EXPECT_EQ(buttons[0].label, J("記録中"));
    EXPECT_TRUE(buttons[0].red);
    EXPECT_EQ(buttons[1].label, J("再生"));
    EXPECT_FALSE(buttons[1].red);
    EXPECT_EQ(ToolbarButtons(kTabBrowse, false, false).size(), 5u);
    EXPECT_EQ(ToolbarButtons(kTabSettings, false, false)[0].labelX, 20);

    EXPECT_EQ(ToolbarButtonAt(89, 10, 4), 1);  // exactly 89: button 1 only
    EXPECT_EQ(ToolbarButtonAt(88, 30, 4), 0);
    EXPECT_EQ(ToolbarButtonAt(356, 0, 4), 3);  // the last takes its right edge
    EXPECT_EQ(ToolbarButtonAt(357, 0, 4), -1);
    EXPECT_EQ(ToolbarButtonAt(445, 5, 5), 4);
    EXPECT_EQ(ToolbarButtonAt(446, 5, 5), -1);
    EXPECT_EQ(ToolbarButtonAt(10, 31, 5), -1);
}

TEST(SkinGeometry, TrayTipIsCutTo63BytesOfCp932) {
    std::string tip = TrayTip(J("タスク動作待機中"));
    EXPECT_EQ(tip, J("タスク動作待機中 Webリクエスト自動再生機 -KESTREL- Ver1.10"));
    EXPECT_LE(tip.size(), 63u);
    std::string longTip = TrayTip(J("とても長い状態の説明文がここに入ります"));
    EXPECT_LE(longTip.size(), 63u);
    EXPECT_GE(longTip.size(), 62u);
    EXPECT_EQ(Utf8ToCp932(Cp932ToUtf8(longTip)), longTip);  // no half character at the end
}

}  // namespace quillrun
