// Layout checks for the GUI tests: which shown controls of a window cover one another.
#pragma once

#include <QLabel>
#include <QString>
#include <QWidget>
#include <string>
#include <vector>

namespace quillrun::test {

// The pairs of visible direct children of `parent` whose rectangles intersect, each said as
// "name/text & name/text". A label's own rectangle counts only as far as its text reaches.
inline std::vector<std::string> OverlappingControls(QWidget* parent) {
    auto rectOf = [](QWidget* w) {
        QRect r = w->geometry();
        if (auto* label = qobject_cast<QLabel*>(w)) {
            QRect text = label->fontMetrics().boundingRect(r, Qt::TextWordWrap, label->text());
            r.setHeight(std::min(r.height(), text.height()));
            r.setWidth(std::min(r.width(), text.width()));
        }
        return r;
    };
    auto nameOf = [](QWidget* w) {
        QString text = w->property("text").toString();
        return (w->objectName() + QLatin1Char('/') + text.left(12)).toStdString();
    };
    std::vector<QWidget*> shown;
    for (QWidget* w : parent->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
        if (w->isVisible() && !w->isWindow() && w->width() > 0 && w->height() > 0)
            shown.push_back(w);
    }
    std::vector<std::string> overlaps;
    for (std::size_t i = 0; i < shown.size(); ++i) {
        for (std::size_t j = i + 1; j < shown.size(); ++j) {
            if (rectOf(shown[i]).intersects(rectOf(shown[j])))
                overlaps.push_back(nameOf(shown[i]) + " & " + nameOf(shown[j]));
        }
    }
    return overlaps;
}

}  // namespace quillrun::test
