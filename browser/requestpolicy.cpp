#include "requestpolicy.h"

using O = TDownloadControlOption;
using RI = QWebEngineUrlRequestInfo;

TRequestDecision decideRequest(const TDownloadOptions &options, RI::ResourceType type)
{
    TRequestDecision d;
    d.bypassCache = options.contains(O::DownloadAndIgnoreCache);

    const bool scripts = !options.contains(O::DontExecuteScripts);
    const bool plugins = !options.contains(O::DontExecuteJava) && !options.contains(O::DontExecuteActiveX)
        && !options.contains(O::DontDownloadActiveX);

    switch (type) {
    case RI::ResourceTypeMainFrame:
    case RI::ResourceTypeNavigationPreloadMainFrame:
    case RI::ResourceTypeStylesheet:
    case RI::ResourceTypeSubResource:
    case RI::ResourceTypeCspReport:
    case RI::ResourceTypeUnknown:
        break;
    case RI::ResourceTypeSubFrame:
    case RI::ResourceTypeNavigationPreloadSubFrame:
        d.block = options.contains(O::DontDownloadFrame);
        break;
    case RI::ResourceTypeImage:
    case RI::ResourceTypeFavicon:
    // Web fonts are decoration like pictures: a page read without pictures
    // should not fetch them either.
    case RI::ResourceTypeFontResource:
        d.block = !options.contains(O::DownloadImages);
        break;
    // Sound and video are not told apart by the engine, so media needs both.
    case RI::ResourceTypeMedia:
        d.block = !options.contains(O::DownloadVideos) || !options.contains(O::DownloadBGSounds);
        break;
    case RI::ResourceTypeScript:
    case RI::ResourceTypeWorker:
    case RI::ResourceTypeSharedWorker:
    case RI::ResourceTypeServiceWorker:
    case RI::ResourceTypeXhr:
    case RI::ResourceTypePing:
    case RI::ResourceTypeWebSocket:
    // Pages prefetch what their scripts will want (ad frames among them).
    case RI::ResourceTypePrefetch:
        d.block = !scripts;
        break;
    case RI::ResourceTypeObject:
    case RI::ResourceTypePluginResource:
        d.block = !plugins;
        break;
    }
    return d;
}
