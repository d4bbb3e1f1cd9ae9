// gui/skin: the skin's bitmaps and fonts, the pages and their frame, the toolbar, the tray icon
// and the Settings page.
//
// The skin's drawing objects and painters: banner, tab strip, frame and page toolbar.
#pragma once

#include <QBrush>
#include <QColor>
#include <QFont>
#include <QRect>
#include <QString>

class QPainter;

namespace quillrun {

class Skin {
  public:
    // Creates the brushes and fonts; the wallpaper comes from program folder + "object/wall.ni_".
    // False when an object could not be made (the caller reports it once).
    bool Create(const QString& dataFolder);

    QColor background{107, 60, 44};
    QColor settingsTitle{255, 187, 209};
    QBrush wallpaper;
    QFont normalFont;
    QFont boldFont;
    QFont largeBoldFont;

    static QColor FrameColor(int tab);
    static QColor ButtonColor(int tab, int index);

    QString dataFolder;  // where object/ is read from (trailing "/")
};

// The skin of the running program.
Skin& TheSkin();

// Loads the bitmap file at each call and copies src (the whole image when null) to dst (the
// source size when null). False when the file cannot be loaded.
bool DrawImage(QPainter& painter, const QString& file, QRect src, QRect dst);

// Draws the banner; only when that worked, the frame and the tab strip of the current tab.
bool DrawBanner(QPainter& painter, int w, int h, int tab);

// The 30-pixel strip of flat buttons at the top of a page.
void DrawPageToolbar(QPainter& painter, int pageWidth, int tab, bool recording, bool playing);

}  // namespace quillrun
