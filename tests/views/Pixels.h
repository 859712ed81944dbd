#pragma once

#include <QColor>
#include <QImage>
#include <QWidget>

namespace kvt::test {

// A widget drawn into an image of its own size, for asserting pixels.
inline QImage Render(QWidget* widget) {
    QImage image(widget->size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(QColor(0x12, 0x34, 0x56));
    widget->render(&image);
    return image;
}

inline QColor At(const QImage& image, int x, int y) {
    return QColor::fromRgb(image.pixel(x, y));
}

// Whether any pixel of the colour lies in the rectangle (both ends included).
inline bool AnyIn(const QImage& image, const QRect& area, const QColor& colour) {
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            if (image.rect().contains(x, y) && At(image, x, y) == colour) {
                return true;
            }
        }
    }
    return false;
}

// Text is drawn smoothed: its ink is told by being near white (on the
// green chart background) or near black (on green or white).
inline bool IsLightInk(const QColor& colour) {
    return colour.red() >= 0xB0 && colour.green() >= 0xD0 && colour.blue() >= 0xB0;
}
inline bool IsDarkInk(const QColor& colour) {
    return colour.red() < 0x40 && colour.green() < 0x70 && colour.blue() < 0x40;
}

// Leftmost and rightmost columns in the rectangle holding a pixel that
// isInk accepts; (-1, -1) when none does.
template <class Predicate>
QPair<int, int> InkColumns(const QImage& image, const QRect& area, Predicate isInk) {
    int first = -1;
    int last = -1;
    for (int x = area.left(); x <= area.right(); ++x) {
        for (int y = area.top(); y <= area.bottom(); ++y) {
            if (image.rect().contains(x, y) && isInk(At(image, x, y))) {
                if (first < 0) {
                    first = x;
                }
                last = x;
                break;
            }
        }
    }
    return {first, last};
}

}  // namespace kvt::test
