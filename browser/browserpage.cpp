#include "browserpage.h"

#include "browserview.h"
#include "requestpolicy.h"

#include <QtCore/QLoggingCategory>
#include <QtWidgets/QApplication>
#include <QtWidgets/QInputDialog>
#include <QtWidgets/QMessageBox>

Q_LOGGING_CATEGORY(lcPageConsole, "lekto.page.console", QtWarningMsg)

TRequestFilter::TRequestFilter(TBrowserView *view) : QWebEngineUrlRequestInterceptor(view), FView(view)
{
}

void TRequestFilter::interceptRequest(QWebEngineUrlRequestInfo &info)
{
    const auto d = decideRequest(FView->DownloadOptions(), info.resourceType());
    if (d.block) {
        info.block(true);
        return;
    }
    if (d.bypassCache) {
        // Chromium's HTTP cache treats these request headers as "load
        // bypassing the cache", like a forced reload.
        info.setHttpHeader("Cache-Control", "no-cache");
        info.setHttpHeader("Pragma", "no-cache");
    }
}

TBrowserPage::TBrowserPage(QWebEngineProfile *profile, TBrowserView *view) : QWebEnginePage(profile, view), FView(view)
{
}

bool TBrowserPage::acceptNavigationRequest(const QUrl &url, NavigationType type, bool isMainFrame)
{
    return FView->beforeNavigate(url, type, isMainFrame);
}

bool TBrowserPage::quiet() const
{
    return FView->Silent() || !FView->isVisible();
}

// A page's message boxes say whose they are: the page's origin is their
// caption (never empty, never the program's or the engine's name), and the
// window carries the program's icon.
namespace {

QString originCaption(const QUrl &origin)
{
    const QString o = origin.adjusted(QUrl::RemovePath | QUrl::RemoveQuery | QUrl::RemoveFragment | QUrl::RemoveUserInfo)
                          .toString(QUrl::FullyEncoded);
    return o.isEmpty() ? origin.scheme() + QLatin1Char(':') : o;
}

void dress(QWidget *box, const QUrl &origin)
{
    box->setWindowTitle(originCaption(origin));
    box->setWindowIcon(QApplication::windowIcon());
}

} // namespace

void TBrowserPage::javaScriptAlert(const QUrl &origin, const QString &msg)
{
    if (quiet())
        return;
    QMessageBox box(QMessageBox::Information, QString(), msg, QMessageBox::Ok, FView->window());
    dress(&box, origin);
    box.exec();
}

bool TBrowserPage::javaScriptConfirm(const QUrl &origin, const QString &msg)
{
    if (quiet()) {
        // The engine asks "leave this page?" through here too. A view that
        // shows no dialogs lets the reader leave, as if nobody had asked: a
        // page must not keep the reader by a question nobody can see.
        return msg == QCoreApplication::translate("QWebEnginePage",
                                                  "Are you sure you want to leave this page? Changes that you made may not be saved.");
    }
    QMessageBox box(QMessageBox::Question, QString(), msg, QMessageBox::Ok | QMessageBox::Cancel, FView->window());
    dress(&box, origin);
    return box.exec() == QMessageBox::Ok;
}

bool TBrowserPage::javaScriptPrompt(const QUrl &origin, const QString &msg, const QString &def, QString *result)
{
    if (quiet())
        return false;
    QInputDialog box(FView->window());
    dress(&box, origin);
    box.setLabelText(msg);
    box.setTextValue(def);
    if (box.exec() != QDialog::Accepted)
        return false;
    if (result)
        *result = box.textValue();
    return true;
}

void TBrowserPage::javaScriptConsoleMessage(JavaScriptConsoleMessageLevel level, const QString &message, int line,
                                             const QString &source)
{
    // A page's console is its own affair; who wants it switches the category
    // on (QT_LOGGING_RULES="lekto.page.console.debug=true").
    qCDebug(lcPageConsole, "%d %s:%d %s", int(level), qUtf8Printable(source), line, qUtf8Printable(message));
}
