#pragma once

#include <QtCore/QPointer>
#include <QtWidgets/QSpinBox>
#include <QtWidgets/QWidget>

#include <functional>

class QLabel;
class QPushButton;

using TIntEvent = std::function<void(int Int)>;

// The zoom box: reads any typed number and keeps it, however far outside the
// range, until it is confirmed or the box loses the focus; only then is it
// brought into 10..1000. A decimal is rounded; text that is no number reads as 10.
class TZoomSpinBox : public QSpinBox
{
    Q_OBJECT

public:
    explicit TZoomSpinBox(QWidget *parent = nullptr);
    // The typed text as a percentage, brought into 10..1000 (10 when it is no number).
    int TypedValue() const;
    // Sets the value and shows it, whatever was typed.
    void ShowValue(int value);

protected:
    QValidator::State validate(QString &input, int &pos) const override;
    int valueFromText(const QString &text) const override;
    void fixup(QString &input) const override;
    void focusOutEvent(QFocusEvent *event) override;
};

// The zoom dialog: opens against a "缩放" button and reports the chosen
// percentage through the callback of its latest showing.
class TWBZoom : public QWidget
{
    Q_OBJECT

public:
    explicit TWBZoom(QWidget *parent = nullptr);

    void ShowAt(QWidget *Btn, bool dUp, bool dLeft, TIntEvent ZoomProc);
    // The zoom now in force, however it was set (keys, wheel): the box
    // shows it the next time it opens, and now if it is open.
    void SetCurrent(int value);

    // Controls, named as in the form layout.
    QLabel *pTitleCaption, *Panel4, *Panel2;
    QWidget *Panel3, *Panel1;
    QPushButton *Button6, *Button5, *Button4, *Button3, *BtnOk, *Button2;
    TZoomSpinBox *SpinEdit1;

    int FZoom = 100;

    // Handlers, public so that tests can drive them as the controls do.
    void BtnDClick(QPushButton *sender);
    void BtnOkClick();
    void Button2Click();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    void choose(int value);
    TIntEvent FZoomProc;
    // The "缩放" button it was opened against: a click there opens it again
    // where it is, a click anywhere else closes it.
    QPointer<QWidget> FOpener;
    bool FWatching = false;
};

// The next zoom of the zoom keys and the wheel from value, one step in or
// out (direction > 0 or < 0) along a ladder that holds the zoom box's
// presets, 10 % to 1000 %; a value between steps goes to the next step.
int ZoomStep(int value, int direction);

// True for a web engine older than major version 7, which needs the zoom
// set on every document's body; answered by the platform's engine probe.
bool IsOldIE();
