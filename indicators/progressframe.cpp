#include "progressframe.h"

#include <QtCore/QtMath>
#include <QtGui/QImageReader>
#include <QtGui/QPainter>
#include <QtGui/QPainterPath>

#include <cmath>
#include <mutex>

// Registers the pictures carried in this library. Outside any namespace, as
// the resource initialiser must be.
static void registerRingPictures()
{
    Q_INIT_RESOURCE(progress);
}

namespace {

// Nearest integer, a half going to the even one, whatever the floating-point
// environment's rounding mode.
int roundHalfEven(double v)
{
    const double floor = std::floor(v);
    const double rest = v - floor;
    if (rest > 0.5 || (rest == 0.5 && std::fmod(floor, 2.0) != 0.0))
        return int(floor) + 1;
    return int(floor);
}

// Angle of the radial from the picture's centre through p, counter-clockwise
// from three o'clock in degrees, as the painter measures arcs.
double radialAngle(QPointF centre, QPoint p)
{
    return qRadiansToDegrees(std::atan2(centre.y() - p.y(), p.x() - centre.x()));
}

} // namespace

int ProgressPercent(int dMax, int dProg)
{
    if (dMax == dProg)
        return 100;
    if (dProg <= 0 || dMax <= 0)
        return 0;
    const double percent = double(dProg) / double(dMax) * 100.0;
    // Beyond the maximum is complete; the clamp also keeps the conversion in range.
    if (percent >= 100.0)
        return 100;
    return roundHalfEven(percent);
}

QPoint ProgressEndPoint(int per, int width, int height)
{
    const int r = width / 2;
    switch (per) {
    case 0:
        return {r, 0};
    case 50:
        return {r, height};
    case 75:
        return {0, r};
    default:
        break;
    }
    const double a = qDegreesToRadians(per * 3.6);
    return {r + roundHalfEven(r * std::sin(a)), r - roundHalfEven(r * std::cos(a))};
}

QImage ProgressFrame(const QImage &foreground, int per)
{
    if (foreground.isNull())
        return {};
    QImage frame = foreground;
    if (per >= 100)
        return frame;

    // Drawn in device pixels, so that a ring for a dense screen keeps every one
    // of them; this is also the frame's one copy of the picture.
    const qreal ratio = frame.devicePixelRatio();
    frame.setDevicePixelRatio(1.0);
    const int w = frame.width();
    const int h = frame.height();
    const QPointF centre(w / 2.0, h / 2.0);
    const double start = radialAngle(centre, QPoint(w / 2, 0));
    const double end = radialAngle(centre, ProgressEndPoint(per, w, h));
    // The pie runs counter-clockwise from twelve o'clock back to the end radial:
    // the part not yet done. Coinciding radials (0 %) make a whole disc.
    double span = std::fmod(end - start + 720.0, 360.0);
    if (span < 1e-9 || span > 360.0 - 1e-9)
        span = 360.0;

    QPainterPath pie;
    pie.moveTo(centre);
    pie.arcTo(QRectF(0, 0, w, h), start, span);
    pie.closeSubpath();
    {
        QPainter p(&frame);
        p.setRenderHint(QPainter::Antialiasing);
        // A hole, not a colour: the background picture shows through it.
        p.setCompositionMode(QPainter::CompositionMode_DestinationOut);
        p.fillPath(pie, Qt::black);
    }
    frame.setDevicePixelRatio(ratio);
    return frame;
}

QImage LoadRingPicture(const QString &name, qreal devicePixelRatio)
{
    static std::once_flag registered;
    std::call_once(registered, registerRingPictures);

    const bool dense = devicePixelRatio > 1.0;
    const qreal drawnFor = dense ? 2.0 : 1.0;
    QImageReader reader(QStringLiteral(":/Png/") + name + (dense ? QStringLiteral("@2x") : QString()));
    QImage picture = reader.read();
    if (picture.isNull())
        return {};
    // White is declared transparent in the file; here it becomes alpha 0.
    picture = picture.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    const int side = qRound(picture.width() / drawnFor * devicePixelRatio);
    if (side > 0 && side != picture.width())
        picture = picture.scaled(side, side, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    picture.setDevicePixelRatio(devicePixelRatio);
    return picture;
}
