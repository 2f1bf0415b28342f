#include "timage.h"

#include <QtGui/QMouseEvent>
#include <QtGui/QPainter>

TImage::TImage(QWidget *parent, int tag) : QWidget(parent), FTag(tag)
{
}

void TImage::SetPicture(const QPixmap &picture)
{
    FPicture = picture;
    update();
}

void TImage::SetStretch(bool stretch)
{
    FStretch = stretch;
    update();
}

bool TImage::event(QEvent *event)
{
    // Without a tooltip of its own the image shows none: its parent's (the
    // strip's "right-click to hide") is for the space between the pictures.
    if (event->type() == QEvent::ToolTip && toolTip().isEmpty()) {
        event->accept();
        return true;
    }
    return QWidget::event(event);
}

void TImage::paintEvent(QPaintEvent *)
{
    if (FPicture.isNull())
        return;
    QPainter p(this);
    if (FStretch) {
        p.setRenderHint(QPainter::SmoothPixmapTransform);
        p.drawPixmap(rect(), FPicture);
    } else {
        p.drawPixmap(0, 0, FPicture);
    }
}

void TImage::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton)
        FLeftDown = true;
    QWidget::mousePressEvent(event);
}

void TImage::mouseReleaseEvent(QMouseEvent *event)
{
    const Qt::MouseButton button = event->button();
    if (button == Qt::LeftButton) {
        const bool click = FLeftDown && rect().contains(event->position().toPoint());
        FLeftDown = false;
        if (click)
            emit clicked();
    }
    emit mouseUp(button);
}

void TImage::enterEvent(QEnterEvent *event)
{
    emit mouseEntered();
    QWidget::enterEvent(event);
}

void TImage::leaveEvent(QEvent *event)
{
    emit mouseLeft();
    QWidget::leaveEvent(event);
}
