// Lekto: a reader for serialised web fiction.
#include "browserhost.h"
#include "datadir.h"
#include "forms.h"
#include "lekto.h"
#include "lektoapp.h"
#include "lektohistory.h"
#include "lektolinks.h"
#include "lektotimer.h"
#include "timage.h"
#include "wbzoom.h"

#include <QtCore/QDir>
#include <QtGui/QIcon>

int main(int argc, char *argv[])
{
    BrowserHostStart();
    TLektoApplication app(argc, argv); // the command line is not read
    app.setWindowIcon(QIcon(QStringLiteral(":/lekto/lekto.svg")));

    // The main window comes first; FormCreate uses none of the others.
    auto *main = new TFLekto(QDir(LektoDataDir()).filePath(QString::fromLatin1(TLektoHistory::kFileName)));
    FLekto = main;
    app.SetMainWindow(main);
    WBZoom = new TWBZoom(main);
    LektoTimer = new TLektoTimer(main);
    // Beside the history file, so a copied program folder carries its links.
    FLektoLinks = new TFLektoLinks(QDir(LektoDataDir()).filePath(QStringLiteral("CustomLinks")), main->picmore->Picture(),
                                   [main](const QString &url) { main->IEOpen(url); }, main);

    main->showMaximized();
    const int rc = app.TerminationRequested() ? 0 : app.exec();
    main->FormClose(); // an end that bypassed the window's close still saves
    delete main;
    return rc;
}
