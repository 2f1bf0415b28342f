#pragma once

#include <QtWidgets/QWidget>

#include <functional>

using TIntEvent = std::function<void(int)>;

// The zoom dialog: opens against a button and reports the chosen percentage.
class TWBZoom : public QWidget
{
    Q_OBJECT

public:
    explicit TWBZoom(QWidget *parent = nullptr);
    void ShowAt(QWidget *btn, bool dUp, bool dLeft, TIntEvent zoomProc);
    int FZoom = 100;

private:
    TIntEvent FZoomProc;
};

// True for an engine that needs the document-style zoom of very old engines.
bool IsOldIE();
