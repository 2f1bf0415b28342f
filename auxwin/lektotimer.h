#pragma once

#include <QtCore/QLocale>
#include <QtWidgets/QLabel>
#include <QtWidgets/QWidget>

#include <functional>

class QPushButton;
class QTimer;
class TWBZoom;

// The time of day as the locale writes it in full, but without a time-zone
// name: hours, minutes and seconds.
QString LongTimeFormatWithoutZone(const QLocale &locale);

// The time label, by which the clock is dragged.
class TClockLabel : public QLabel
{
    Q_OBJECT

public:
    using QLabel::QLabel;

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    QPoint FGrab; // where the window was taken, when it is moved by hand
    bool FMovingByHand = false;
};

// The floating clock shown in full-screen reading: the time, "缩放" and "Esc".
class TLektoTimer : public QWidget
{
    Q_OBJECT

public:
    explicit TLektoTimer(QWidget *parent = nullptr);

    // What the clock's two buttons reach: the zoom dialog with the main
    // window's zoom procedure, and the main window's "全屏" button.
    void SetHost(TWBZoom *zoomDialog, std::function<void(int)> zoomProc, QPushButton *fullButton);

    void ShowAt();

    // Controls, named as in the form layout.
    TClockLabel *Label1;
    QPushButton *BtnZoom, *Button2;
    QTimer *Timer1;

    // Handlers, public so that tests can drive them as the controls do.
    void Timer1Timer();
    void BtnZoomClick();
    void Button2Click();

private:
    TWBZoom *FZoomDialog = nullptr;
    std::function<void(int)> FZoomProc;
    QPushButton *FFullButton = nullptr;
};
