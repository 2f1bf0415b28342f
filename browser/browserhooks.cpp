#include "browserhooks.h"

#include "browserview.h"

#include <QtCore/QPointer>
#include <QtCore/QTimer>
#include <QtGui/QWheelEvent>
#include <QtWidgets/QApplication>

namespace BrowserHooks {
namespace {

TBrowserView *viewOf(QObject *o)
{
    for (; o; o = o->parent())
        if (auto *v = qobject_cast<TBrowserView *>(o))
            return v;
    return nullptr;
}

bool holdsFocus(TBrowserView *view)
{
    const QWidget *f = QApplication::focusWidget();
    return f && (f == view || view->isAncestorOf(f));
}

class THooks : public QObject
{
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        switch (event->type()) {
        case QEvent::Wheel:
            // The first turn over a page without the focus gives it the focus
            // and scrolls nothing; later turns scroll the page under the pointer.
            // Only in the active window: elsewhere setting the focus changes
            // nothing, and every turn would be swallowed.
            if (TBrowserView *view = viewOf(watched); view && watched->isWidgetType() && QApplication::focusWidget()
                && !holdsFocus(view) && view->isVisible() && view->window()->isActiveWindow()) {
                view->SetFocus();
                return true;
            }
            break;
        case QEvent::WindowActivate:
            // Qt 6.4 gives the window back its focus widget, but the engine's
            // page does not get its keyboard back (document.hasFocus() stays
            // false and keys go nowhere): it is given it once the activation
            // is through.
            if (auto *window = qobject_cast<QWidget *>(watched); window && window->isWindow()) {
                if (TBrowserView *view = viewOf(window->focusWidget())) {
                    QPointer<TBrowserView> v(view);
                    QTimer::singleShot(0, view, [v] {
                        if (!v || !v->window()->isActiveWindow())
                            return;
                        QWidget *focus = v->window()->focusWidget();
                        if (!focus || !v->isAncestorOf(focus))
                            return;
                        // The widget has the focus already, so setting it again
                        // tells the engine nothing: it is told directly.
                        QFocusEvent in(QEvent::FocusIn, Qt::ActiveWindowFocusReason);
                        QApplication::sendEvent(focus, &in);
                    });
                }
            }
            break;
        default:
            break;
        }
        return false;
    }
};

} // namespace

void Install()
{
    static THooks *hooks = nullptr;
    if (hooks || !qApp)
        return;
    hooks = new THooks(qApp);
    qApp->installEventFilter(hooks);
}

} // namespace BrowserHooks
