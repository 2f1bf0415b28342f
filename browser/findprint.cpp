// Finding text in the page shown, and printing it.
#include "browserview.h"

#include "browserpage.h"
#include "scripts.h"

#include <QtCore/QDir>
#include <QtCore/QSaveFile>
#include <QtPrintSupport/QPrinter>
#include <QtWebEngineCore/QWebEngineFindTextResult>
#include <QtWebEngineCore/QWebEngineScript>

#include <memory>

void TBrowserView::FindText(const QString &text, bool backward, std::function<void(int, int)> done)
{
    // Typing sends a search per key; an answer to an older one would show
    // a count for text no longer in the box.
    const quint64 serial = ++FFindSerial;
    QPointer<TBrowserView> self(this);
    auto find = [self, serial, text, backward, done] {
        if (!self || self->FShutDown || serial != self->FFindSerial)
            return;
        self->FPage->findText(text, backward ? QWebEnginePage::FindBackward : QWebEnginePage::FindFlags{},
                              [self, serial, done](const QWebEngineFindTextResult &result) {
                                  if (self && !self->FShutDown && serial == self->FFindSerial && done)
                                      done(result.activeMatch(), result.numberOfMatches());
                              });
    };
    if (!ShowsOwnDocument() || text.isEmpty()) {
        find();
        return;
    }
    // Rows of our own long lists not yet put in would not be found.
    FPage->runJavaScript(Scripts::kShowAllRows, QWebEngineScript::ApplicationWorld, [find](const QVariant &) { find(); });
}

void TBrowserView::StopFinding()
{
    ++FFindSerial;
    FPage->findText(QString());
}

void TBrowserView::Print(QPrinter *printer, std::function<void(bool, const QString &)> done)
{
    if (printer->outputFormat() == QPrinter::PdfFormat && !printer->outputFileName().isEmpty()) {
        // Printing through the printer would draw each page as a picture; the
        // engine's own PDF keeps the text, so it can be searched and copied.
        const QString path = printer->outputFileName();
        QPointer<TBrowserView> self(this);
        FPrintPending = true;
        FPage->printToPdf(
            [self, path, done](const QByteArray &pdf) {
                if (self)
                    self->FPrintPending = false;
                if (pdf.isEmpty()) {
                    done(false, QStringLiteral("网页未能生成 PDF。"));
                    return;
                }
                // Written whole or not at all: a full disk leaves no broken PDF.
                QSaveFile file(path);
                if (!file.open(QIODevice::WriteOnly) || file.write(pdf) != pdf.size() || !file.commit()) {
                    done(false, QStringLiteral("无法保存“%1”：%2").arg(QDir::toNativeSeparators(path), file.errorString()));
                    return;
                }
                done(true, QString());
            },
            printer->pageLayout(), printer->pageRanges());
        return;
    }
    auto connection = std::make_shared<QMetaObject::Connection>();
    FPrintPending = true;
    *connection = connect(this, &QWebEngineView::printFinished, this, [this, connection, done](bool ok) {
        disconnect(*connection);
        FPrintPending = false;
        done(ok, ok ? QString() : QStringLiteral("打印失败。"));
    });
    print(printer);
}
