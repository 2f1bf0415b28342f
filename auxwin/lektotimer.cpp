#include "lektotimer.h"

#include "uifont.h"
#include "wbzoom.h"

#include <QtCore/QRegularExpression>
#include <QtCore/QTime>
#include <QtCore/QTimer>
#include <QtGui/QGuiApplication>
#include <QtGui/QMouseEvent>
#include <QtGui/QScreen>
#include <QtGui/QWindow>
#include <QtWidgets/QBoxLayout>
#include <QtWidgets/QPushButton>

QString LongTimeFormatWithoutZone(const QLocale &locale)
{
    // Qt's long format ends in "t" (the zone's name, "China Standard Time"),
    // which the clock has no room for and the reader no need of.
    QString format = locale.timeFormat(QLocale::LongFormat);
    format.remove(QRegularExpression(QStringLiteral("\\s*\\bt+\\b\\s*")));
    format = format.trimmed();
    return format.isEmpty() ? QStringLiteral("HH:mm:ss") : format;
}

void TClockLabel::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return QLabel::mousePressEvent(event);
    // The window manager moves the window while the button is held; where
    // it will not, the clock follows the pointer itself.
    QWindow *handle = window()->windowHandle();
    FMovingByHand = !(handle && handle->startSystemMove());
    FGrab = event->globalPosition().toPoint() - window()->pos();
}

void TClockLabel::mouseMoveEvent(QMouseEvent *event)
{
    // Only a drag moves the clock: a pointer passing over it with no button
    // pressed must not take the window along.
    if (FMovingByHand && (event->buttons() & Qt::LeftButton))
        window()->move(event->globalPosition().toPoint() - FGrab);
    QLabel::mouseMoveEvent(event);
}

void TClockLabel::mouseReleaseEvent(QMouseEvent *event)
{
    FMovingByHand = false;
    QLabel::mouseReleaseEvent(event);
}

TLektoTimer::TLektoTimer(QWidget *parent)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::WindowDoesNotAcceptFocus)
{
    // Shown over the page in full-screen reading, the clock never takes the
    // keyboard from it: Esc and F11 must still reach the main window.
    setAttribute(Qt::WA_ShowWithoutActivating);
    setWindowTitle(QStringLiteral("LektoTimer"));
    setFont(UiFont(11));
    setFixedSize(201, 30);
    setWindowOpacity(150.0 / 255.0);
    setAutoFillBackground(true);

    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);
    Label1 = new TClockLabel(QStringLiteral("00:00:00"), this);
    Label1->setAlignment(Qt::AlignCenter);
    Label1->setFont(UiFont(24));
    BtnZoom = new QPushButton(QStringLiteral("缩放"), this);
    Button2 = new QPushButton(QStringLiteral("Esc"), this);
    for (QPushButton *b : {BtnZoom, Button2}) {
        b->setFixedSize(40, 30);
        b->setFocusPolicy(Qt::NoFocus);
    }
    row->addWidget(Label1, 1);
    row->addWidget(BtnZoom);
    row->addWidget(Button2);

    Timer1 = new QTimer(this);
    Timer1->setInterval(1000);
    connect(Timer1, &QTimer::timeout, this, [this] { Timer1Timer(); });
    connect(BtnZoom, &QPushButton::clicked, this, [this] { BtnZoomClick(); });
    connect(Button2, &QPushButton::clicked, this, [this] { Button2Click(); });
}

void TLektoTimer::SetHost(TWBZoom *zoomDialog, std::function<void(int)> zoomProc, QPushButton *fullButton)
{
    FZoomDialog = zoomDialog;
    FZoomProc = std::move(zoomProc);
    FFullButton = fullButton;
}

void TLektoTimer::ShowAt()
{
    Timer1Timer();
    Timer1->start();
    if (const QScreen *s = QGuiApplication::primaryScreen())
        move(s->geometry().right() + 1 - width(), s->geometry().top());
    show();
}

void TLektoTimer::Timer1Timer()
{
    Label1->setText(QLocale().toString(QTime::currentTime(), LongTimeFormatWithoutZone(QLocale())));
}

void TLektoTimer::BtnZoomClick()
{
    if (!FZoomDialog)
        return;
    const bool dUp = y() - FZoomDialog->height() > 5;
    const bool dLeft = x() + BtnZoom->x() + BtnZoom->width() - FZoomDialog->width() < 5;
    FZoomDialog->ShowAt(BtnZoom, dUp, dLeft, FZoomProc);
}

void TLektoTimer::Button2Click()
{
    if (FFullButton)
        FFullButton->click();
}
