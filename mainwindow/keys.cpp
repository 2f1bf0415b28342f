// The main window's keys: its four shortcuts and the keys every browser has,
// taken whether the page, the address box or a button has the focus.
#include "lekto.h"

#include "dialogs.h"
#include "findbar.h"
#include "forms.h"
#include "keymap.h"
#include "lektolinks.h"
#include "wbzoom.h"

#include <QtCore/QTimer>
#include <QtGui/QKeyEvent>
#include <QtWidgets/QApplication>
#include <QtWidgets/QLineEdit>
#include <QtWidgets/QPushButton>

// Sees every key before the widget it is for. The page's keys go to the
// engine's focus-proxy widget inside the main view; keys the page does not
// use come back from the engine to the view's parent.
class TKeyRouter : public QObject
{
public:
    explicit TKeyRouter(TFLekto *window) : QObject(window), FWindow(window) { qApp->installEventFilter(this); }
    ~TKeyRouter() override { qApp->removeEventFilter(this); }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() != QEvent::KeyPress || !watched->isWidgetType())
            return false;
        auto *widget = static_cast<QWidget *>(watched);
        if (widget->window() != FWindow)
            return false;
        bool handled = false;
        Dialogs::guarded([&] { handled = FWindow->KeyPressed(widget, static_cast<QKeyEvent *>(event)); });
        return handled;
    }

private:
    TFLekto *FWindow;
};

void TFLekto::InstallKeys()
{
    new TKeyRouter(this);
}

bool TFLekto::KeyPressed(QWidget *target, QKeyEvent *event)
{
    const int key = event->key();
    const Qt::KeyboardModifiers modifiers = event->modifiers();

    // Backspace goes back unless it edits: in the page, when no text field
    // of the page has the focus (the engine uses it for nothing else).
    if (target == WB1->focusProxy() && !WB1->EditableHasFocus()
        && UnhandledPageKeyCommand(key, modifiers) == TKeyCommand::Back) {
        WB1->GoBack();
        return true;
    }
    // ← and → that the page gave back unused turn chapters, in both modes:
    // in pure mode nothing but scrolling takes them, and a site's own script
    // that turns its chapters is left to do so alone.
    if (target == WB1->parentWidget() && focusWidget() == WB1->focusProxy() && !WB1->EditableHasFocus()) {
        const TKeyCommand turn = ReturnedPageKeyCommand(key, modifiers);
        if (turn == TKeyCommand::NextChapter || turn == TKeyCommand::PreviousChapter) {
            TurnChapter(turn == TKeyCommand::NextChapter ? TChapterDirection::Next : TChapterDirection::Previous);
            return true;
        }
    }
    // A key on its way to a control: the window's shortcuts come first.
    // (A key propagating from a control to its parents has been seen.)
    if (target != focusWidget() && target != WB1->focusProxy())
        return false;

    // Esc in the find bar closes the bar, and only the bar.
    if (key == Qt::Key_Escape && FFindBar && FFindBar->isVisible() && FFindBar->isAncestorOf(target)) {
        FFindBar->Close();
        return true;
    }

    // Esc closes the zoom box first, wherever the keyboard is: in
    // full-screen reading the box is opened from the clock over the page.
    if (key == Qt::Key_Escape && WBZoom && WBZoom->isVisible()) {
        WBZoom->Button2Click();
        return true;
    }

    bool Handled = false;
    FormShortCut(key, Handled);
    if (Handled)
        return true;

    switch (WindowKeyCommand(key, modifiers)) {
    case TKeyCommand::Back: WB1->GoBack(); return true;
    case TKeyCommand::Forward: WB1->GoForward(); return true;
    case TKeyCommand::Refresh: WB1->Refresh(); return true;
    case TKeyCommand::FocusAddress:
        // The box is on the toolbar: in full-screen reading it is not there.
        if (!IsFullScreen()) {
            EdUrl->setFocus(Qt::ShortcutFocusReason);
            EdUrl->selectAll();
        }
        return true;
    case TKeyCommand::Find: FFindBar->Open(); return true;
    case TKeyCommand::FindNext: FFindBar->FindAgain(false); return true;
    case TKeyCommand::FindPrevious: FFindBar->FindAgain(true); return true;
    case TKeyCommand::ZoomIn: ZoomBy(1); return true;
    case TKeyCommand::ZoomOut: ZoomBy(-1); return true;
    case TKeyCommand::ZoomReset: ZoomBy(0); return true;
    case TKeyCommand::ToggleReading: ToggleReadingView(); return true;
    case TKeyCommand::NextReadingTheme: NextReadingTheme(); return true;
    case TKeyCommand::Print:
        // After the key: the print dialog is modal, and the key is still on its way.
        QTimer::singleShot(0, this, [this] { Dialogs::guarded([this] { PrintPage(); }); });
        return true;
    default:
        break;
    }
    // Enter presses a focused toolbar button, as Space does.
    if ((key == Qt::Key_Return || key == Qt::Key_Enter) && modifiers == Qt::NoModifier) {
        if (auto *button = qobject_cast<QPushButton *>(target)) {
            button->click();
            return true;
        }
    }
    return false;
}

void TFLekto::FormShortCut(int key, bool &Handled)
{
    switch (WindowKeyCommand(key, Qt::NoModifier)) {
    case TKeyCommand::LeaveFullScreen: LeaveFullScreen(); break;
    case TKeyCommand::PasteAndOpen: BtnGo2->click(); break;
    case TKeyCommand::ShowLinks:
        // Shown, never toggled: in the board itself F4 and Esc close it.
        if (FLektoLinks) {
            FLektoLinks->show();
            FLektoLinks->raise();
            FLektoLinks->activateWindow();
        }
        break;
    case TKeyCommand::ToggleFullScreen: BtnFullClick(); break;
    default: return;
    }
    Handled = true;
}
