#include "wbzoom.h"

#include "engineprobe.h"
#include "uifont.h"

#include <QtGui/QKeyEvent>
#include <QtWidgets/QApplication>
#include <QtWidgets/QBoxLayout>
#include <QtWidgets/QLabel>
#include <QtWidgets/QLineEdit>
#include <QtWidgets/QPushButton>

#include <algorithm>
#include <cmath>

namespace {
constexpr int kMinZoom = 10;
constexpr int kMaxZoom = 1000;

// The typed text as a percentage in 10..1000. The number is read whole,
// however long, so "99999999999" is too large (1000) rather than no number
// (10); a decimal is rounded half away from zero ("150.5" is 151). The
// decimal point may be the locale's or ".".
int zoomFromText(const QString &text, const QLocale &locale)
{
    QString number = text.trimmed();
    number.replace(locale.decimalPoint(), QStringLiteral("."));
    bool ok = false;
    const double v = number.toDouble(&ok); // C locale: no group separators
    if (!ok || std::isnan(v))
        return kMinZoom;
    return int(std::lround(std::clamp(v, double(kMinZoom), double(kMaxZoom))));
}
} // namespace

TZoomSpinBox::TZoomSpinBox(QWidget *parent) : QSpinBox(parent)
{
    setRange(kMinZoom, kMaxZoom);
    setSingleStep(1);
    setValue(100);
    // Typing must not be cut short by the range: 5000 is typed whole and
    // confirmed as 1000.
    setCorrectionMode(QAbstractSpinBox::CorrectToNearestValue);
}

int TZoomSpinBox::TypedValue() const
{
    return zoomFromText(lineEdit()->text(), locale());
}

void TZoomSpinBox::ShowValue(int value)
{
    setValue(value);
    lineEdit()->setText(QString::number(this->value()));
}

QValidator::State TZoomSpinBox::validate(QString &input, int &) const
{
    // Digits, signs and the decimal separator may be typed; anything else is
    // refused with the system's beep.
    const QString separator = locale().decimalPoint();
    for (const QChar c : input) {
        if (!c.isDigit() && c != QLatin1Char('+') && c != QLatin1Char('-') && !separator.contains(c)) {
            QApplication::beep();
            return QValidator::Invalid;
        }
    }
    return QValidator::Acceptable;
}

int TZoomSpinBox::valueFromText(const QString &text) const
{
    return zoomFromText(text, locale());
}

void TZoomSpinBox::fixup(QString &input) const
{
    input = QString::number(valueFromText(input));
}

void TZoomSpinBox::focusOutEvent(QFocusEvent *event)
{
    // Leaving the box puts the nearer bound in place of a value outside it.
    ShowValue(valueFromText(lineEdit()->text()));
    QSpinBox::focusOutEvent(event);
}

TWBZoom::TWBZoom(QWidget *parent) : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint)
{
    setFont(UiFont(11));
    setFixedSize(295, 65);
    move(0, 0);
    setAutoFillBackground(true);

    auto *main = new QVBoxLayout(this);
    main->setContentsMargins(0, 0, 0, 0);
    main->setSpacing(0);

    pTitleCaption = new QLabel(QStringLiteral("设定缩放百分比：最小10%，最大1000%"), this);
    pTitleCaption->setAlignment(Qt::AlignCenter);
    pTitleCaption->setFixedHeight(18);
    pTitleCaption->setAutoFillBackground(true);
    QPalette sky = pTitleCaption->palette();
    sky.setColor(QPalette::Window, QColor(166, 202, 240));
    pTitleCaption->setPalette(sky);
    main->addWidget(pTitleCaption);

    Panel3 = new QWidget(this);
    Panel3->setFixedHeight(18);
    auto *row = new QHBoxLayout(Panel3);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);
    Panel4 = new QLabel(QStringLiteral("常用比例"), Panel3);
    Panel4->setAlignment(Qt::AlignCenter);
    Panel4->setFixedWidth(71);
    row->addWidget(Panel4);
    const struct { QPushButton **button; int tag; } presets[] = {{&Button6, 80}, {&Button5, 100}, {&Button4, 150}, {&Button3, 200}};
    for (const auto &p : presets) {
        auto *b = new QPushButton(QStringLiteral("%1%").arg(p.tag), Panel3);
        b->setFixedSize(56, 18);
        b->setProperty("tag", p.tag);
        b->setFocusPolicy(Qt::TabFocus);
        connect(b, &QPushButton::clicked, this, [this, b] { BtnDClick(b); });
        row->addWidget(b);
        *p.button = b;
    }
    row->addStretch(1);
    main->addWidget(Panel3);

    Panel1 = new QWidget(this);
    auto *value = new QHBoxLayout(Panel1);
    value->setContentsMargins(0, 0, 0, 0);
    value->setSpacing(0);
    // The caption's blanks leave room for the spin box, with "%" just right
    // of it; the sign is placed there, whatever the width of a blank.
    Panel2 = new QLabel(QStringLiteral("    缩放："), Panel1);
    Panel2->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    SpinEdit1 = new TZoomSpinBox(Panel2);
    SpinEdit1->setGeometry(57, 4, 69, 22);
    auto *percent = new QLabel(QStringLiteral("%"), Panel2);
    percent->setGeometry(57 + 69 + 3, 4, 16, 22);
    SpinEdit1->installEventFilter(this);
    BtnOk = new QPushButton(QStringLiteral("确定"), Panel1);
    BtnOk->setFixedWidth(66);
    BtnOk->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Expanding);
    Button2 = new QPushButton(QStringLiteral("取消"), Panel1);
    Button2->setFixedWidth(66);
    Button2->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Expanding);
    value->addWidget(Panel2, 1);
    value->addWidget(BtnOk);
    value->addWidget(Button2);
    main->addWidget(Panel1, 1);
    connect(BtnOk, &QPushButton::clicked, this, [this] { BtnOkClick(); });
    connect(Button2, &QPushButton::clicked, this, [this] { Button2Click(); });
    // The reader gone to another program has left the box as well.
    connect(qApp, &QGuiApplication::applicationStateChanged, this, [this](Qt::ApplicationState state) {
        if (state != Qt::ApplicationActive && isVisible())
            Button2Click();
    });
}

void TWBZoom::ShowAt(QWidget *Btn, bool dUp, bool dLeft, TIntEvent ZoomProc)
{
    show();
    raise();
    activateWindow();
    const QPoint corner = Btn->mapToGlobal(QPoint(0, 0));
    const int dx = dLeft ? 0 : Btn->width() - width();
    const int dy = dUp ? -height() : Btn->height();
    move(corner + QPoint(dx, dy));
    FZoomProc = std::move(ZoomProc);
    FOpener = Btn;
}

void TWBZoom::SetCurrent(int value)
{
    FZoom = std::clamp(value, kMinZoom, kMaxZoom);
    SpinEdit1->ShowValue(FZoom);
}

void TWBZoom::choose(int value)
{
    FZoom = value;
    if (FZoomProc)
        FZoomProc(FZoom);
    hide();
}

void TWBZoom::BtnDClick(QPushButton *sender)
{
    const int tag = sender->property("tag").toInt();
    SpinEdit1->ShowValue(tag);
    choose(tag);
}

void TWBZoom::BtnOkClick()
{
    const int v = SpinEdit1->TypedValue();
    SpinEdit1->ShowValue(v);
    choose(v);
}

void TWBZoom::Button2Click()
{
    hide();
}

bool TWBZoom::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == SpinEdit1 && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            BtnOkClick();
            return true;
        }
        if (key == Qt::Key_Escape) {
            Button2Click();
            return true;
        }
    }
    // While the box is open, a press anywhere else in the program (the page,
    // the toolbar, the clock) is the reader turning away from it: it closes
    // as "取消" closes it, and the press goes on to what it was for.
    if (FWatching && (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::TouchBegin)
        && watched->isWidgetType()) {
        auto *widget = static_cast<QWidget *>(watched);
        const bool opener = FOpener && (widget == FOpener || FOpener->isAncestorOf(widget));
        if (widget->window() != this && !opener && isVisible())
            Button2Click();
    }
    return QWidget::eventFilter(watched, event);
}

int ZoomStep(int value, int direction)
{
    static constexpr int kLadder[] = {10, 25, 33, 50, 67, 80, 90, 100, 110, 125, 150, 175, 200, 250, 300, 400, 500, 750, 1000};
    const int v = std::clamp(value, kMinZoom, kMaxZoom);
    if (direction > 0) {
        for (int step : kLadder)
            if (step > v)
                return step;
        return kMaxZoom;
    }
    if (direction < 0) {
        for (auto it = std::rbegin(kLadder); it != std::rend(kLadder); ++it)
            if (*it < v)
                return *it;
        return kMinZoom;
    }
    return v;
}

void TWBZoom::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        Button2Click();
        return;
    }
    QWidget::keyPressEvent(event);
}

void TWBZoom::showEvent(QShowEvent *event)
{
    if (!FWatching) {
        qApp->installEventFilter(this);
        FWatching = true;
    }
    QWidget::showEvent(event);
}

void TWBZoom::hideEvent(QHideEvent *event)
{
    if (FWatching) {
        qApp->removeEventFilter(this);
        FWatching = false;
    }
    QWidget::hideEvent(event);
}

bool IsOldIE()
{
    return EngineProbe::MajorVersion() < 7;
}
