#pragma once

#include "downloadoptions.h"

#include <QtWebEngineCore/QWebEngineUrlRequestInfo>

// Which requests a view's download options let through. The engine's own
// settings (images, scripts, plug-ins) are not enough on their own: web fonts,
// <video preload> and frame documents are still fetched with them switched off,
// so every request a page makes is also checked here.
struct TRequestDecision {
    bool block = false;
    bool bypassCache = false;
};

TRequestDecision decideRequest(const TDownloadOptions &options,
                               QWebEngineUrlRequestInfo::ResourceType type);
