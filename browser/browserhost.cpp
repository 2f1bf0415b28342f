#include "browserhost.h"

#include "browserview.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QtGlobal>

#include <unistd.h>

void BrowserHostStart()
{
    // The old engine needed the floating-point control word saved here; the
    // engine's processes keep their own, so there is nothing to save.
    // OLE for the user-interface thread belongs to the Windows engine: Qt
    // WebEngine needs no apartment of the thread that hosts it.
    // Chromium refuses to start its sandbox as root; only then is it switched off.
    if (::geteuid() == 0 && qEnvironmentVariableIsEmpty("QTWEBENGINE_DISABLE_SANDBOX"))
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    TBrowserView::RegisterSchemes();
    // The wheel and focus hooks need the application object: they are put
    // in place with the first view.
}

void BrowserHostEnd()
{
    // The old engine's navigation click was silenced through a registry key
    // that had to be put back here; Chromium makes no navigation sound, so
    // nothing was changed. The floating-point word and OLE were never taken
    // (see BrowserHostStart). The hooks go with the application object.
}
