#include "panel.h"

#include <QtGui/QMouseEvent>
#include <QtGui/QPainter>
#include <QtWidgets/QLayout>

TBevelPanel::TBevelPanel(QWidget *parent, const QString &caption) : QFrame(parent), FCaption(caption)
{
    setFrameShape(QFrame::NoFrame);
}

void TBevelPanel::SetBevelOuter(TBevelCut cut)
{
    FOuter = cut;
    updateMargins();
    update();
}

void TBevelPanel::SetBevelInner(TBevelCut cut)
{
    FInner = cut;
    updateMargins();
    update();
}

void TBevelPanel::SetCaption(const QString &caption)
{
    FCaption = caption;
    update();
}

void TBevelPanel::SetChecked(bool checked)
{
    FChecked = checked;
    update();
}

int TBevelPanel::BorderWidth() const
{
    return (FOuter != TBevelCut::bvNone ? 1 : 0) + (FInner != TBevelCut::bvNone ? 1 : 0);
}

void TBevelPanel::updateMargins()
{
    if (layout()) {
        const int w = BorderWidth();
        layout()->setContentsMargins(w, w, w, w);
    }
}

void TBevelPanel::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    const QPalette &pal = palette();
    QRect r = rect();
    auto bevel = [&](TBevelCut cut) {
        if (cut == TBevelCut::bvNone)
            return;
        const QColor topLeft = cut == TBevelCut::bvRaised ? pal.color(QPalette::Light) : pal.color(QPalette::Dark);
        const QColor bottomRight = cut == TBevelCut::bvRaised ? pal.color(QPalette::Dark) : pal.color(QPalette::Light);
        p.setPen(topLeft);
        p.drawLine(r.topLeft(), r.topRight());
        p.drawLine(r.topLeft(), r.bottomLeft());
        p.setPen(bottomRight);
        p.drawLine(r.bottomLeft(), r.bottomRight());
        p.drawLine(r.topRight(), r.bottomRight());
        r.adjust(1, 1, -1, -1);
    };
    bevel(FOuter);
    bevel(FInner);
    if (FChecked)
        p.fillRect(r, pal.color(QPalette::Highlight));
    if (!FCaption.isEmpty()) {
        p.setPen(pal.color(FChecked ? QPalette::HighlightedText : QPalette::WindowText));
        if (FChecked) {
            QFont bold = font();
            bold.setBold(true);
            p.setFont(bold);
        }
        p.drawText(r.adjusted(2, 0, -2, 0), int(FAlignment), FCaption);
    }
}

void TBevelPanel::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        emit clicked();
    QFrame::mouseReleaseEvent(event);
}

void TBevelPanel::enterEvent(QEnterEvent *event)
{
    emit mouseEntered();
    QFrame::enterEvent(event);
}
