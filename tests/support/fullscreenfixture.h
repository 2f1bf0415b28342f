#pragma once

// What the full-screen tests share: long chapters served from 127.0.0.1,
// the program's other windows made as the program makes them, and where a
// key the reader presses goes.
#include "eventwait.h"
#include "forms.h"
#include "lekto.h"
#include "lektotimer.h"
#include "testhttpserver.h"
#include "wbzoom.h"

#include <QtCore/QObject>
#include <QtWidgets/QWidget>

namespace FullScreenFixture {

inline QByteArray longPage(const QByteArray &title)
{
    QByteArray body = "<title>" + title + "</title><input id=field><p id=first>起点</p>";
    for (int i = 0; i < 300; ++i)
        body += "<p>正文第" + QByteArray::number(i) + "段。</p>";
    return body;
}

// Where a key the reader presses goes: the window's focus widget. (Which
// window is active is the window system's affair, and a new native window,
// made when the border changes, is activated a moment later.)
inline QWidget *keyTarget(QWidget *window)
{
    spin(100);
    return window->focusWidget();
}

} // namespace FullScreenFixture

class FullScreenTestBase : public QObject
{
protected:
    TestHttpServer FServer;
    // Owned by the main window, as in the program.
    TWBZoom *FZoom = nullptr;
    TLektoTimer *FClock = nullptr;

    void routePages()
    {
        using FullScreenFixture::longPage;
        FServer.route("/long.html", longPage("长章"));
        FServer.route("/other.html", longPage("另一章"));
        TestHttpServer::Response slow{200, "text/html; charset=utf-8", longPage("慢章"), {}, false};
        slow.trickleMs = 4000; // a distant site: the chapter arrives in a while
        FServer.route("/slow.html", slow);
        FServer.route("/box.html", "<title>box</title><body style='margin:0;background:#fff'>"
                                   "<div style='width:60px;height:60px;background:#f00'></div></body>");
    }

    // The other windows of the program, as the program makes them.
    void makeWindows(TFLekto &w)
    {
        FZoom = new TWBZoom(&w);
        FClock = new TLektoTimer(&w);
        FClock->SetHost(FZoom, [&w](int v) { w._ZoomProc(v); }, w.BtnFull);
        WBZoom = FZoom;
        LektoTimer = FClock;
    }
    void dropWindows()
    {
        WBZoom = nullptr;
        LektoTimer = nullptr;
        FZoom = nullptr;
        FClock = nullptr;
    }
};
