#pragma once

#include "browserhost.h"
#include "browserview.h"

#include <QtCore/QtGlobal>

// The real engine, headless: offscreen unless a display is given, and a
// profile that keeps nothing between runs. Runs before the application object.
inline void PrepareHeadlessEngine()
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    BrowserHostStart();
    TBrowserView::UseOffTheRecordProfile();
}

// Counts the view's completions, keeping the handler already bound.
inline void CountCompletions(TBrowserView *view, int *counter)
{
    auto handler = view->OnDocumentComplete;
    view->OnDocumentComplete = [handler, counter](TBrowserView *v, TBrowserObject d, QString &u) {
        if (handler)
            handler(v, d, u);
        ++*counter;
    };
}
