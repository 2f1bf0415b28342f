#pragma once

#include <QtCore/QRect>
#include <QtWidgets/QFrame>

#include <functional>

class QLabel;
class QLineEdit;
class QPushButton;
class TBrowserView;

// The find bar: a small bar over the top right of a view, not a dialog. It
// finds as the reader types, Enter and Shift+Enter go to the next and the
// previous match, and it counts the matches.
class TFindBar : public QFrame
{
    Q_OBJECT

public:
    // parent: the widget the view is laid out in; the bar floats above the view.
    TFindBar(TBrowserView *view, QWidget *parent);

    QLineEdit *EdFind;
    QLabel *LblCount;
    QPushButton *BtnPrev, *BtnNext, *BtnClose;

    // Shows the bar with the keyboard in its box, the text there selected.
    void Open();
    // Hides the bar, unmarks the matches and gives the keyboard to the page.
    void Close();
    // The next (or previous) match of the box's text; opens the bar first
    // when there is no text to look for.
    void FindAgain(bool backward);
    // The view shows another document: its matches are counted again.
    void PageShown();
    // A window above the view that the bar keeps clear of (the floating
    // clock); its screen rectangle, empty when it is not shown.
    void SetKeepClearOf(std::function<QRect()> area) { FKeepClearOf = std::move(area); }

    int ActiveMatch() const { return FActive; }
    int MatchCount() const { return FCount; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void search(bool backward);
    void showCount(int active, int count);
    void place();

    TBrowserView *FView;
    std::function<QRect()> FKeepClearOf;
    int FActive = 0;
    int FCount = 0;
};
