#include "browserhost.h"

#include "browserview.h"
#include "hostplatform.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QtGlobal>

#include <unistd.h>

void BrowserHostStart()
{
    HostPlatform::SaveFloatingPointState();
    HostPlatform::StartOle();
    // Chromium refuses to start its sandbox as root; only then is it switched off.
    if (::geteuid() == 0 && qEnvironmentVariableIsEmpty("QTWEBENGINE_DISABLE_SANDBOX"))
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    TBrowserView::RegisterSchemes();
    // The wheel and focus hooks need the application object: they are put
    // in place with the first view, and go with the application object.
}

void BrowserHostEnd()
{
    HostPlatform::RestoreNavigationSounds();
    HostPlatform::RestoreFloatingPointState();
    HostPlatform::EndOle();
}
