// Printing the page shown, on paper or into a PDF file.
#include "lekto.h"

#include "dialogs.h"
#include "downloadfile.h"

#include <QtCore/QFileInfo>
#include <QtCore/QPointer>
#include <QtCore/QTimer>
#include <QtPrintSupport/QPrinter>

#include <memory>

void TFLekto::PrintPage()
{
    if (FPrinting)
        return; // the engine prints one page at a time
    auto printer = std::make_shared<QPrinter>(QPrinter::HighResolution);
    // The job's name, and the PDF file's name the dialog proposes: the chapter's title.
    const THtmlDocument2 *doc = WB1->Doc2();
    const QString title = DownloadFile::CleanName(doc && !doc->title.isEmpty() ? doc->title : windowTitle());
    printer->setDocName(title.isEmpty() ? QStringLiteral("Lekto") : title);
    if (!Dialogs::printDialog(*printer))
        return;
    FPrinting = true;
    const bool toPdf = printer->outputFormat() == QPrinter::PdfFormat && !printer->outputFileName().isEmpty();
    setHint(toPdf ? QStringLiteral("正在保存为 PDF…") : QStringLiteral("正在打印…"));
    OfferFolder(QString(), QString());
    QPointer<TFLekto> self(this);
    // The printer lives until the engine is done with it.
    WB1->Print(printer.get(), [self, printer, toPdf](bool ok, const QString &error) {
        Dialogs::guarded([&] {
            if (!self)
                return;
            self->FPrinting = false;
            if (!ok) {
                self->setHint(QString());
                // Not inside the engine's callback: the report is a modal box.
                QTimer::singleShot(0, self, [error] { Dialogs::errorReport(error); });
                return;
            }
            if (toPdf)
                self->SaySaved(QStringLiteral("已保存为 PDF：") + QFileInfo(printer->outputFileName()).fileName(),
                               printer->outputFileName());
            else
                self->setHint(QStringLiteral("已送往打印机。"));
        });
    });
}
