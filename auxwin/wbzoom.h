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
// brought into 10..1000. Text that is no whole number reads as 10.
class TZoomSpinBox : public QSpinBox
{
    Q_OBJECT

public:
    explicit TZoomSpinBox(QWidget *parent = nullptr);
    // The text read as a whole number, 10 when it is none, not yet clamped.
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

// True for a web engine older than major version 7, which needs the zoom
// set on every document's body; answered by the platform's engine probe.
bool IsOldIE();
