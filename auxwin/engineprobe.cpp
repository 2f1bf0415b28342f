#include "engineprobe.h"

#include "browserengine.h"

#include <QtCore/QLocale>
#include <QtCore/QSettings>
#include <QtCore/QString>

namespace EngineProbe {

#ifdef Q_OS_WIN
int MajorVersion()
{
    // "IE" under Version Vector, a number in the user's locale ("11.0000").
    QSettings key(QStringLiteral("HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Internet Explorer\\Version Vector"),
                  QSettings::NativeFormat);
    if (key.status() != QSettings::NoError)
        return 0;
    bool ok = false;
    const double v = QLocale().toDouble(key.value(QStringLiteral("IE")).toString(), &ok);
    return ok ? int(v) : 0;
}
#else
int MajorVersion()
{
    bool ok = false;
    const int major = BrowserEngineVersion().section(QLatin1Char('.'), 0, 0).toInt(&ok);
    return ok ? major : 0;
}
#endif

} // namespace EngineProbe
