#include "gui/skin/skin.h"

#include <QImage>
#include <QPainter>
#include <QPolygon>

#include "core/skin/skin_geometry.h"
#include "gui/text.h"

namespace quillrun {
namespace {

QFont MakeFont(int pixelHeight, int weight) {
    QFont font(QStringLiteral("Times New Roman"));
    font.setPixelSize(pixelHeight);
    font.setWeight(static_cast<QFont::Weight>(weight));
    return font;
}

QPolygon ToPolygon(const std::vector<PointXY>& points) {
    QPolygon polygon;
    for (const PointXY& p : points)
        polygon << QPoint(p.x, p.y);
    return polygon;
}

}  // namespace

Skin& TheSkin() {
    static Skin skin;
    return skin;
}

bool Skin::Create(const QString& folder) {
    dataFolder = folder;
    normalFont = MakeFont(14, 400);
    boldFont = MakeFont(14, 700);
    largeBoldFont = MakeFont(18, 700);
    QImage wall(folder + QStringLiteral("object/wall.ni_"));
    if (wall.isNull()) {
        wallpaper = QBrush(QColor(255, 255, 255));
        return false;
    }
    wallpaper = QBrush(wall);
    return true;
}

QColor Skin::FrameColor(int tab) {
    switch (tab) {
        case kTabBrowse:
            return {128, 191, 255};
        case kTabRecord:
            return {176, 176, 176};
        case kTabTask:
            return {255, 143, 107};
        default:
            return {255, 107, 143};
    }
}

QColor Skin::ButtonColor(int tab, int index) {
    static const QColor kBrowse[] = {
        {128, 191, 255}, {140, 199, 252}, {151, 208, 251}, {173, 223, 247}, {198, 242, 243}};
    static const QColor kRecord[] = {
        {176, 176, 176}, {181, 181, 181}, {191, 191, 191}, {204, 204, 204}};
    static const QColor kTask[] = {
        {255, 143, 107}, {254, 156, 114}, {253, 191, 134}, {252, 207, 144}};
    switch (tab) {
        case kTabBrowse:
            return kBrowse[index % 5];
        case kTabRecord:
            return kRecord[index % 4];
        case kTabTask:
            return kTask[index % 4];
        default:
            return {255, 107, 143};
    }
}

bool DrawImage(QPainter& painter, const QString& file, QRect src, QRect dst) {
    QImage image(file);
    if (image.isNull())
        return false;
    if (src.isNull())
        src = image.rect();
    if (dst.width() <= 0 || dst.height() <= 0)
        dst.setSize(src.size());
    painter.drawImage(dst, image, src);
    return true;
}

bool DrawBanner(QPainter& painter, int w, int h, int tab) {
    const QString folder = TheSkin().dataFolder;
    // The images are found in the program folder, whatever the current directory is.
    if (!DrawImage(painter, folder + QStringLiteral("object/banner.ni_"), QRect(),
                   QRect(BannerLeft(w), 0, 0, 0))) {
        return false;
    }
    Rect frame = FrameRect(w, h);
    painter.setPen(Qt::NoPen);
    painter.setBrush(Skin::FrameColor(tab));
    painter.drawRect(frame.left, frame.top, frame.Width(), frame.Height());
    painter.setBrush(TheSkin().background);
    painter.drawPolygon(ToPolygon(FrameOctagon(w, h)));
    for (const StripPiece& piece : TabStripPieces(h)) {
        DrawImage(painter, folder + QStringLiteral("object/tab.ni_"),
                  QRect(107 * tab, piece.srcTop, 106, piece.srcHeight),
                  QRect(5, piece.dstTop, 106, piece.dstHeight));
    }
    return true;
}

void DrawPageToolbar(QPainter& painter, int pageWidth, int tab, bool recording, bool playing) {
    painter.save();
    painter.setPen(Qt::NoPen);
    painter.fillRect(0, 0, pageWidth, 30, TheSkin().background);
    painter.setFont(TheSkin().normalFont);
    std::vector<ToolbarButton> buttons = ToolbarButtons(tab, recording, playing);
    for (std::size_t k = 0; k < buttons.size(); ++k) {
        const ToolbarButton& b = buttons[k];
        QColor color = Skin::ButtonColor(tab, static_cast<int>(k));
        painter.fillRect(b.rect.left, b.rect.top, b.rect.Width(), b.rect.Height(), color);
        QString label = FromCp932(b.label);
        QFontMetrics metrics(painter.font());
        QRect textRect(b.labelX, 5, metrics.horizontalAdvance(label), metrics.height());
        painter.fillRect(textRect, color);
        painter.setPen(b.red ? QColor(255, 0, 0) : QColor(0, 0, 0));
        painter.drawText(textRect, Qt::AlignLeft | Qt::AlignTop, label);
    }
    painter.restore();
}

}  // namespace quillrun
