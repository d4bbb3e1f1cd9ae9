// Draws the skin's images at build time: object/banner.ni_, object/tab.ni_, object/wall.ni_
// (Windows bitmaps despite the extension), the standby button bitmap and the icons. Nothing
// here comes from elsewhere: every image is painted from these few lines.
#include <QDir>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

QFont Font(int pixels, bool bold) {
    QFont font(QStringLiteral("IPAGothic"));
    font.setPixelSize(pixels);
    font.setBold(bold);
    return font;
}

bool SaveBmp(const QImage& image, const QString& path) {
    return image.convertToFormat(QImage::Format_RGB888).save(path, "BMP");
}

QImage Banner() {
    QImage image(790, 50, QImage::Format_RGB32);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient sky(0, 0, 0, 50);
    sky.setColorAt(0, QColor(140, 86, 64));
    sky.setColorAt(1, QColor(107, 60, 44));
    p.fillRect(image.rect(), sky);
    // A quill across the left end.
    QPainterPath quill;
    quill.moveTo(14, 44);
    quill.cubicTo(30, 20, 52, 8, 78, 4);
    quill.cubicTo(64, 18, 46, 32, 14, 44);
    p.fillPath(quill, QColor(250, 238, 214));
    p.setPen(QPen(QColor(107, 60, 44), 1.2));
    p.drawLine(QPointF(16, 43), QPointF(70, 9));
    p.setPen(QColor(250, 238, 214));
    p.setFont(Font(26, true));
    p.drawText(QRect(92, 4, 200, 40), Qt::AlignVCenter | Qt::AlignLeft, QStringLiteral("quillrun"));
    p.setFont(Font(16, false));
    p.setPen(QColor(255, 214, 170));
    p.drawText(QRect(230, 4, 540, 40), Qt::AlignVCenter | Qt::AlignLeft,
               QString::fromUtf8("Webリクエスト自動再生機 ─ 記録して、決めた時刻に再生します"));
    p.setPen(QColor(176, 120, 96));
    p.drawLine(0, 49, 790, 49);
    return image;
}

QImage TabStrip() {
    struct Tab {
        int position;
        int top;
        const char* label;
        QColor color;
    };
    const Tab tabs[] = {{0, 0, "ブラウザ", QColor(128, 191, 255)},
                        {1, 100, "記録・再生", QColor(176, 176, 176)},
                        {2, 200, "タスク", QColor(255, 143, 107)},
                        {4, 400, "設定", QColor(255, 107, 143)}};
    QImage image(107 * 4 + 106, 500, QImage::Format_RGB32);
    image.fill(QColor(107, 60, 44));
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    for (int variant = 0; variant < 5; ++variant) {
        int x0 = 107 * variant;
        for (const Tab& tab : tabs) {
            bool selected = tab.position == variant;
            QRectF r(x0 + (selected ? 2 : 8), tab.top + 4, selected ? 104 : 96, 92);
            QColor fill = selected ? tab.color : tab.color.darker(165);
            QPainterPath path;
            path.addRoundedRect(r, 10, 10);
            p.fillPath(path, fill);
            if (selected)
                p.fillRect(QRectF(x0 + 96, tab.top + 4, 10, 92), fill);
            p.setPen(selected ? QColor(40, 24, 18) : QColor(235, 222, 210));
            p.setFont(Font(selected ? 16 : 14, selected));
            p.drawText(r, Qt::AlignCenter, QString::fromUtf8(tab.label));
        }
    }
    return image;
}

QImage Wallpaper() {
    QImage image(32, 32, QImage::Format_RGB32);
    image.fill(QColor(252, 248, 240));
    QPainter p(&image);
    p.setPen(QColor(238, 228, 212));
    p.drawPoint(4, 4);
    p.drawPoint(20, 20);
    p.setPen(QColor(244, 236, 224));
    p.drawLine(0, 31, 31, 31);
    return image;
}

QImage StandbyButton() {
    QImage image(180, 26, QImage::Format_RGB32);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient g(0, 0, 0, 26);
    g.setColorAt(0, QColor(120, 170, 235));
    g.setColorAt(1, QColor(60, 110, 190));
    p.fillRect(image.rect(), g);
    p.setPen(QColor(30, 60, 120));
    p.drawRect(0, 0, 179, 25);
    p.setPen(Qt::white);
    p.setFont(Font(14, true));
    p.drawText(image.rect(), Qt::AlignCenter, QString::fromUtf8("省電力モードへ移行!"));
    return image;
}

QImage Icon(int size, QColor ring) {
    QImage image(size, size, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setBrush(QColor(107, 60, 44));
    p.setPen(QPen(ring, size / 16.0));
    p.drawEllipse(QRectF(1, 1, size - 2, size - 2));
    QPainterPath quill;
    double s = size / 32.0;
    quill.moveTo(8 * s, 26 * s);
    quill.cubicTo(12 * s, 16 * s, 18 * s, 9 * s, 26 * s, 6 * s);
    quill.cubicTo(22 * s, 14 * s, 16 * s, 21 * s, 8 * s, 26 * s);
    p.fillPath(quill, QColor(250, 238, 214));
    return image;
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    // The menu's icons: the program's icon at the sizes the desktop's icon theme asks for.
    if (argc == 4 && std::string(argv[1]) == "--icon") {
        int size = std::atoi(argv[2]);
        if (size < 16 || size > 1024)
            return 2;
        return Icon(size, QColor(255, 143, 107)).save(QString::fromLocal8Bit(argv[3]), "PNG") ? 0
                                                                                              : 1;
    }
    if (argc < 2) {
        std::fprintf(stderr, "usage: assetgen OBJECT_FOLDER | assetgen --icon SIZE FILE\n");
        return 2;
    }
    QString folder = QString::fromLocal8Bit(argv[1]) + QLatin1Char('/');
    QDir().mkpath(folder);
    bool ok = SaveBmp(Banner(), folder + "banner.ni_") && SaveBmp(TabStrip(), folder + "tab.ni_") &&
              SaveBmp(Wallpaper(), folder + "wall.ni_") &&
              SaveBmp(StandbyButton(), folder + "standby.bmp") &&
              Icon(32, QColor(128, 191, 255)).save(folder + "tray.png") &&
              Icon(64, QColor(255, 143, 107)).save(folder + "quillrun.png");
    return ok ? 0 : 1;
}
