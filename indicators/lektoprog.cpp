#include "lektoprog.h"

#include "progressframe.h"

#include <QtCore/QEvent>
#include <QtGui/QFontMetrics>
#include <QtGui/QPixmap>
#include <QtWidgets/QLabel>

#include <algorithm>

namespace {

QLabel *pictureLabel(QWidget *parent)
{
    auto *label = new QLabel(parent);
    label->setAlignment(Qt::AlignCenter);
    label->setAttribute(Qt::WA_TransparentForMouseEvents);
    return label;
}

} // namespace

TLektoProgImg::TLektoProgImg(QWidget *AOwner) : QWidget(AOwner)
{
    const int side = std::min(AOwner->width(), AOwner->height());
    ImgBg = pictureLabel(this);
    Img = pictureLabel(this); // created second, so it lies above ImgBg
    L = new QLabel(this);
    L->setAlignment(Qt::AlignCenter);
    L->setAttribute(Qt::WA_TransparentForMouseEvents);
    QPalette pal = L->palette();
    pal.setColor(QPalette::WindowText, Qt::white);
    L->setPalette(pal);

    takePictures();
    Progress(0);
    setGeometry(0, 0, side, side);
    setFixedSize(side, side);
    PlaceLabel(); // a hidden widget hears of its size only when shown
}

void TLektoProgImg::Progress(int Per)
{
    if (Per < 0 || Per > 100)
        return;
    FPercent = Per;
    showFrame();
    L->setText(ProgressCaption(Per));
}

void TLektoProgImg::ProgressBy(int dMax, int dProg)
{
    Progress(ProgressPercent(dMax, dProg));
}

void TLektoProgImg::showFrame()
{
    const QImage frame = ProgressFrame(Bmp, FPercent);
    Img->setPixmap(frame.isNull() ? QPixmap() : QPixmap::fromImage(frame));
}

// Pictures are made for the screen the ring is on: on a dense screen a frame
// has twice the pixels each way rather than being scaled up from 50 x 50.
void TLektoProgImg::takePictures()
{
    const qreal ratio = devicePixelRatioF();
    if (ratio == FRatio)
        return;
    FRatio = ratio;
    // A picture that cannot be read leaves its control empty; the percentage
    // still shows.
    const QImage background = LoadRingPicture(QStringLiteral("ProgBg"), ratio);
    ImgBg->setPixmap(background.isNull() ? QPixmap() : QPixmap::fromImage(background));
    Bmp = LoadRingPicture(QStringLiteral("ProgBg2"), ratio);
}

bool TLektoProgImg::event(QEvent *event)
{
    // Moving to another screen, or a change of its scale, can change the
    // device pixel ratio; a paint after it is the latest moment to notice.
    switch (event->type()) {
    case QEvent::Show:
    case QEvent::ScreenChangeInternal:
    case QEvent::Paint: {
        const qreal before = FRatio;
        takePictures();
        if (FRatio != before)
            showFrame();
        break;
    }
    case QEvent::FontChange: // the label takes the toolbar's font
        PlaceLabel();
        break;
    default:
        break;
    }
    return QWidget::event(event);
}

void TLektoProgImg::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    PlaceLabel();
}

void TLektoProgImg::PlaceLabel()
{
    ImgBg->setGeometry(rect());
    Img->setGeometry(rect());
    const int h = QFontMetrics(L->font()).height() + 2;
    L->setGeometry(0, (height() - h) / 2, width(), h);
}
