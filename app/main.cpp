// Lekto: a reader for serialised web fiction.
#include "browserhost.h"
#include "datadir.h"
#include "forms.h"
#include "lekto.h"
#include "lektoapp.h"
#include "lektohistory.h"
#include "lektolinks.h"
#include "lektotimer.h"
#include "singleinstance.h"
#include "timage.h"
#include "wbzoom.h"

#include <QtCore/QDir>
#include <QtGui/QIcon>

namespace {
// Drawn sizes rather than the SVG: Qt reads SVG only through a plug-in that a
// Debian system need not have, and a missing one leaves every window bare.
QIcon applicationIcon()
{
    QIcon icon;
    const QDir sizes(QStringLiteral(":/lekto/icons"));
    for (const QString &name : sizes.entryList(QDir::Files))
        icon.addFile(sizes.filePath(name));
    return icon;
}
}

int main(int argc, char *argv[])
{
    BrowserHostStart();
    TLektoApplication app(argc, argv); // the command line is not read
    // Every window, the auxiliary ones too, carries this icon; the desktop file
    // name ties the windows to the launcher (Wayland app id, X11 desktop hint).
    app.setWindowIcon(applicationIcon());
    QGuiApplication::setDesktopFileName(QStringLiteral(LEKTO_APP_ID));

    // Before the engine starts: a second copy only asks the first to show itself.
    TSingleInstance instance(LektoDataDir());
    if (instance.Start() == TSingleInstance::TStart::HandedOver) {
        BrowserHostEnd();
        return 0;
    }

    // The main window comes first; FormCreate uses none of the others.
    auto *main = new TFLekto(QDir(LektoDataDir()).filePath(QString::fromLatin1(TLektoHistory::kFileName)));
    FLekto = main;
    app.SetMainWindow(main);
    WBZoom = new TWBZoom(main);
    LektoTimer = new TLektoTimer(main);
    LektoTimer->SetHost(WBZoom, [main](int v) { main->_ZoomProc(v); }, main->BtnFull);
    // Beside the history file, so a copied program folder carries its links.
    FLektoLinks = new TFLektoLinks(QDir(LektoDataDir()).filePath(QStringLiteral("CustomLinks")), main->picmore->Picture(),
                                   [main](const QString &url) { main->IEOpen(url); }, main);

    QObject::connect(&instance, &TSingleInstance::activationRequested, main, [main] {
        main->setWindowState(main->windowState() & ~Qt::WindowMinimized);
        main->show();
        main->raise();
        main->activateWindow();
    });
    // A copy that was taken for hung and has since been replaced must not
    // write its older lists over the new copy's.
    main->MayWriteHistory = [&instance] { return instance.StillOwner(); };

    main->ShowWithSavedPlacement();
    const int rc = app.TerminationRequested() ? 0 : app.exec();
    instance.SetEnding();
    main->FormClose(); // an end that bypassed the window's close still saves
    delete main;
    BrowserHostEnd();
    return rc;
}
