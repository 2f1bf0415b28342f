#include "browserengine.h"

#include <QtWebEngineCore/qtwebenginecoreglobal.h>

QString BrowserEngineVersion()
{
    return QString::fromLatin1(qWebEngineChromiumVersion());
}
