#pragma once

#include <QtCore/QPoint>
#include <QtCore/QString>
#include <QtGui/QImage>

// The drawing of the progress ring, apart from any window, so that tests and
// benchmarks reach it directly.

// The percentage shown for a progress report. A report whose progress equals
// its maximum is complete; a non-positive progress or maximum is nothing yet;
// otherwise progress / maximum, rounded with halves to even. Reports beyond
// their maximum show as complete rather than wrapping round.
int ProgressPercent(int dMax, int dProg);

// Where the radial that ends the done sector meets the picture's edge, for a
// picture width x height and a percentage 0..100; angles run clockwise from
// twelve o'clock. Quarter and half turns are exact.
QPoint ProgressEndPoint(int per, int width, int height);

// One frame of the ring: the foreground picture with the part not yet done
// cut out as a transparent hole. per 100 leaves the picture whole, per 0 cuts
// the whole disc. A null picture gives a null frame.
QImage ProgressFrame(const QImage &foreground, int per);

// The caption under the ring, for example "37%".
inline QString ProgressCaption(int per) { return QString::number(per) + QLatin1Char('%'); }

// A ring picture ("ProgBg" or "ProgBg2") for a screen of the given device pixel
// ratio: its 50 x 50 pixels become ratio x 50 device pixels, and the image
// carries the ratio; white is transparent. Pictures drawn for ratio 2 serve
// every ratio above 1, so nothing is ever scaled up. A null image when the
// picture cannot be read.
QImage LoadRingPicture(const QString &name, qreal devicePixelRatio);
