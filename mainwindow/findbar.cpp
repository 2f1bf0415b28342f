#include "findbar.h"

#include "browserview.h"
#include "dialogs.h"

#include <QtCore/QPointer>
#include <QtCore/QTimer>
#include <QtGui/QKeyEvent>
#include <QtWidgets/QBoxLayout>
#include <QtWidgets/QLabel>
#include <QtWidgets/QLineEdit>
#include <QtWidgets/QPushButton>

namespace {

// The bar stays left of the page's vertical scroll bar.
constexpr int kScrollBarRoom = 18;
constexpr int kClearance = 4;

QPushButton *barButton(QWidget *parent, const QString &caption)
{
    auto *b = new QPushButton(caption, parent);
    b->setAutoDefault(false);
    b->setFocusPolicy(Qt::TabFocus);
    return b;
}

} // namespace

TFindBar::TFindBar(TBrowserView *view, QWidget *parent) : QFrame(parent), FView(view)
{
    setFrameShape(QFrame::StyledPanel);
    setFrameShadow(QFrame::Raised);
    setAutoFillBackground(true);
    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(6, 3, 3, 3);
    row->setSpacing(4);
    auto *caption = new QLabel(QStringLiteral("查找："), this);
    EdFind = new QLineEdit(this);
    EdFind->setFixedWidth(180);
    EdFind->setClearButtonEnabled(true);
    LblCount = new QLabel(this);
    // Wide enough for "999/9999" and "无匹配", so the buttons do not move as it counts.
    LblCount->setMinimumWidth(fontMetrics().horizontalAdvance(QStringLiteral("9999/9999")));
    LblCount->setAlignment(Qt::AlignCenter);
    BtnPrev = barButton(this, QStringLiteral("上一个"));
    BtnNext = barButton(this, QStringLiteral("下一个"));
    BtnClose = barButton(this, QStringLiteral("关闭"));
    for (QWidget *w : std::initializer_list<QWidget *>{caption, EdFind, LblCount, BtnPrev, BtnNext, BtnClose})
        row->addWidget(w);

    connect(EdFind, &QLineEdit::textChanged, this, [this] { search(false); });
    connect(BtnPrev, &QPushButton::clicked, this, [this] { search(true); });
    connect(BtnNext, &QPushButton::clicked, this, [this] { search(false); });
    connect(BtnClose, &QPushButton::clicked, this, [this] { Close(); });
    EdFind->installEventFilter(this);
    view->installEventFilter(this);
    hide();
}

void TFindBar::Open()
{
    show();
    place();
    EdFind->setFocus(Qt::ShortcutFocusReason);
    EdFind->selectAll();
    if (!EdFind->text().isEmpty())
        search(false);
}

void TFindBar::Close()
{
    // The page takes the keyboard before the bar goes: a hidden widget with
    // the focus hands it on as Tab does, and the engine takes a Tab into the
    // page to its first link, scrolling the page back to its top.
    FView->SetFocus();
    hide();
    FView->StopFinding();
    FView->SetFocus();
}

void TFindBar::FindAgain(bool backward)
{
    if (EdFind->text().isEmpty()) {
        Open();
        return;
    }
    if (isHidden()) {
        show();
        place();
    }
    search(backward);
}

void TFindBar::PageShown()
{
    if (isVisible() && !EdFind->text().isEmpty())
        search(false);
}

void TFindBar::search(bool backward)
{
    const QString text = EdFind->text();
    if (text.isEmpty()) {
        FView->StopFinding();
        showCount(0, 0);
        return;
    }
    QPointer<TFindBar> self(this);
    // Answered from inside the engine: nothing may leave this callback.
    FView->FindText(text, backward, [self](int active, int count) {
        Dialogs::guarded([&] {
            if (self)
                self->showCount(active, count);
        });
    });
}

void TFindBar::showCount(int active, int count)
{
    FActive = active;
    FCount = count;
    const bool none = count == 0 && !EdFind->text().isEmpty();
    LblCount->setText(EdFind->text().isEmpty() ? QString() : none ? QStringLiteral("无匹配") : QStringLiteral("%1/%2").arg(active).arg(count));
    // A box that finds nothing turns pink, as in other browsers.
    QPalette p = EdFind->palette();
    p.setColor(QPalette::Base, none ? QColor(255, 200, 200) : palette().color(QPalette::Base));
    EdFind->setPalette(p);
}

void TFindBar::place()
{
    if (!parentWidget())
        return;
    resize(sizeHint());
    const QRect view = FView->geometry();
    const int x = std::max(view.left(), view.right() - width() - kScrollBarRoom);
    int y = view.top();
    if (FKeepClearOf) {
        const QRect clear = FKeepClearOf();
        const QRect mine(parentWidget()->mapToGlobal(QPoint(x, y)), size());
        if (clear.isValid() && clear.intersects(mine))
            y += clear.bottom() + 1 - mine.top() + kClearance;
    }
    move(x, y);
    raise();
}

bool TFindBar::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == EdFind && event->type() == QEvent::KeyPress) {
        const auto *key = static_cast<QKeyEvent *>(event);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            search(key->modifiers() & Qt::ShiftModifier);
            return true;
        }
    } else if (watched == FView && !isHidden()
               && (event->type() == QEvent::Resize || event->type() == QEvent::Move || event->type() == QEvent::Show)) {
        // Once the change is complete: entering full-screen reading resizes
        // the view before the clock is shown.
        QTimer::singleShot(0, this, [this] { place(); });
    }
    return QFrame::eventFilter(watched, event);
}

// The main window's find bar, over its main view.
#include "forms.h"
#include "lekto.h"
#include "lektotimer.h"

void TFLekto::FindBarCreate()
{
    FFindBar = new TFindBar(WB1, Panel1);
    // In full-screen reading the floating clock sits at the top right too.
    FFindBar->SetKeepClearOf([] { return LektoTimer && LektoTimer->isVisible() ? LektoTimer->frameGeometry() : QRect(); });
}
