#include "browserhost.h"

#include "browserview.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QtGlobal>

#include <unistd.h>

void BrowserHostStart()
{
    // Chromium refuses to start its sandbox as root; only then is it switched off.
    if (::geteuid() == 0 && qEnvironmentVariableIsEmpty("QTWEBENGINE_DISABLE_SANDBOX"))
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    TBrowserView::RegisterSchemes();
}
