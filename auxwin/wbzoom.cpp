#include "wbzoom.h"

TWBZoom::TWBZoom(QWidget *parent) : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint)
{
    resize(295, 65);
}

void TWBZoom::ShowAt(QWidget *, bool, bool, TIntEvent zoomProc)
{
    FZoomProc = std::move(zoomProc);
}

bool IsOldIE()
{
    return false; // Chromium zooms pages itself
}
