#pragma once

#include <QtGui/QImage>
#include <QtWidgets/QWidget>

// Whether the start page's rows show: text in the rows' link colours
// (#0000FF, #800080, anti-aliased) in the band where the first screenful's
// lower rows stand, below the headings and above the view's foot.
inline bool StartPageRowsShown(QWidget *view)
{
    const QImage shot = view->grab().toImage().convertToFormat(QImage::Format_RGB32);
    int hits = 0;
    for (int y = shot.height() * 6 / 10; y < shot.height() * 9 / 10; ++y) {
        const QRgb *line = reinterpret_cast<const QRgb *>(shot.constScanLine(y));
        for (int x = 0; x < shot.width(); ++x) {
            const int r = qRed(line[x]), g = qGreen(line[x]), b = qBlue(line[x]);
            if (b > 100 && g < 90 && b - g > 60 && r <= b + 10)
                ++hits;
        }
    }
    return hits > 50;
}
