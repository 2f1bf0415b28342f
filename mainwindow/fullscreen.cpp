// Full-screen reading: the main view alone on the whole screen, with the
// floating clock at the top right.
#include "lekto.h"

#include "forms.h"
#include "lektoprog.h"
#include "lektotimer.h"

#include <QtCore/QTimer>
#include <QtGui/QGuiApplication>
#include <QtGui/QScreen>
#include <QtWidgets/QApplication>
#include <QtWidgets/QLabel>
#include <QtWidgets/QLayout>

#include <cstdlib>

bool TFLekto::IsFullScreen() const
{
    // No flag holds it: the toolbar is hidden exactly in full-screen reading.
    return pNavigate->isHidden();
}

void TFLekto::BtnFullClick()
{
    if (IsFullScreen())
        LeaveFullScreen();
    else
        EnterFullScreen();
}

void TFLekto::EnterFullScreen()
{
    pads->setVisible(false);
    pNavigate->setVisible(false);
    // Saved before the border goes: without it the window system reports
    // other bounds.
    FSaveBounds = geometry();
    FSaveMaximized = isMaximized();
    // The border change makes a new native window; the views keep their
    // pages, places and histories through it.
    setWindowFlag(Qt::FramelessWindowHint, true);
    if (const QScreen *s = QGuiApplication::primaryScreen())
        setGeometry(s->geometry()); // the whole screen, not the work area
    // Full-screen state as well, so that window managers put it above panels.
    showFullScreen();
    if (LektoTimer) {
        LektoTimer->installEventFilter(this); // where the reader drags it
        LektoTimer->ShowAt();
    }
    PlaceClockBand();
    ShowLoadBar(WB1->IsLoading() && FProg ? FProg->Percent() : 100);
    focusPageAfterBorderChange();
    // A download under way goes on speaking, over the page now; placed once
    // the view has its full-screen size.
    QTimer::singleShot(0, this, [this] {
        if (IsFullScreen() && FDownloads && !FDownloads->Running().isEmpty())
            ShowDownloadNote(DownloadHint(LblDownloadNote->fontMetrics(), kDownloadNoteTextWidth), true);
    });
}

void TFLekto::focusPageAfterBorderChange()
{
    // The new native window is activated by the window system a moment
    // later, and takes the focus where it finds it: the page is given it
    // once the window is active again.
    activateWindow();
    WB1->SetFocus();
    QTimer::singleShot(0, this, [this] {
        if (QApplication::activeWindow() != this)
            activateWindow();
        WB1->SetFocus();
    });
}

void TFLekto::LeaveFullScreen()
{
    if (!IsFullScreen())
        return;
    setWindowFlag(Qt::FramelessWindowHint, false);
    pNavigate->setVisible(true);
    if (FSaveMaximized) {
        showMaximized();
    } else {
        showNormal();
        setGeometry(FSaveBounds);
    }
    if (LektoTimer) {
        LektoTimer->Timer1->stop();
        LektoTimer->close();
    }
    FDownloadNote->hide(); // the hint line speaks again
    PlaceClockBand();
    ShowLoadBar(100); // the ring in the toolbar speaks again
    focusPageAfterBorderChange();
}

void TFLekto::PlaceClockBand()
{
    // The clock at the top edge takes the top of the screen from the page:
    // a page's first line, after PgDn too, is never under it. Dragged
    // elsewhere, it floats over the page as before.
    int band = 0;
    if (IsFullScreen() && LektoTimer && LektoTimer->isVisible()) {
        const int top = mapToGlobal(QPoint(0, 0)).y();
        const QRect clock = LektoTimer->frameGeometry();
        if (std::abs(clock.top() - top) <= kClockBandSnap)
            band = clock.bottom() + 1 - top;
    }
    QLayout *area = Panel1->layout();
    if (area && area->contentsMargins().top() != band)
        area->setContentsMargins(0, band, 0, 0);
}

void TFLekto::ShowLoadBar(int percent)
{
    if (!FLoadBar) {
        FLoadBar = new QWidget(Panel1);
        FLoadBar->setAttribute(Qt::WA_TransparentForMouseEvents);
        FLoadBar->setAutoFillBackground(true);
        QPalette blue = FLoadBar->palette();
        blue.setColor(QPalette::Window, QColor(40, 120, 220));
        FLoadBar->setPalette(blue);
        FLoadBar->hide();
        FLoadBarCheck = new QTimer(this);
        FLoadBarCheck->setInterval(500);
        connect(FLoadBarCheck, &QTimer::timeout, this, [this] {
            if (!IsFullScreen() || !WB1->IsLoading())
                ShowLoadBar(100);
        });
    }
    // In the window the ring in the toolbar shows the load.
    if (!IsFullScreen() || percent < 0 || percent >= 100) {
        FLoadBar->hide();
        FLoadBarCheck->stop();
        return;
    }
    const QRect view = WB1->geometry();
    // A load just begun shows a sliver: something is on its way.
    const int width = std::max(view.width() * percent / 100, view.width() / 50);
    FLoadBar->setGeometry(view.left(), view.top(), width, kLoadBarHeight);
    FLoadBar->show();
    FLoadBar->raise();
    FLoadBarCheck->start();
}
