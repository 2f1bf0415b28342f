// Full-screen reading: the main view alone on the whole screen, with the
// floating clock at the top right.
#include "lekto.h"

#include "forms.h"
#include "lektotimer.h"

#include <QtCore/QTimer>
#include <QtGui/QGuiApplication>
#include <QtGui/QScreen>
#include <QtWidgets/QApplication>
#include <QtWidgets/QLabel>

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
    if (LektoTimer)
        LektoTimer->ShowAt();
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
    focusPageAfterBorderChange();
}
