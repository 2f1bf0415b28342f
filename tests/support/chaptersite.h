#pragma once

// The sites that chapter turning is tried on: the saved real chapter and
// contents pages at their own addresses, and small books made for the case,
// all served by one logging server that the engine reaches as its proxy.
#include "lektoharness.h"
#include "testhttpserver.h"

#include <QtNetwork/QNetworkProxy>

namespace ChapterSite {

// A saved chapter page where it was served, and its neighbours as the page
// itself names them; index pages (chapter lists) name none.
struct Chapter {
    const char *file, *address, *next, *previous;
};
inline const Chapter kChapters[] = {
    {"novel-zh/biquge-zhushen-ch4.html", "http://www.biquge.com.tw/17_17275/7633258.html",
     "http://www.biquge.com.tw/17_17275/7633259.html", "http://www.biquge.com.tw/17_17275/7633257.html"},
    {"novel-zh/999wx-fenghuo-ch22.html", "http://www.999wx.com/book/fenghuo/11226626.shtml",
     "http://www.999wx.com/book/fenghuo/11226627.shtml", "http://www.999wx.com/book/fenghuo/11226625.shtml"},
    {"novel-zh/zongheng-jianlai-ch14.html", "http://book.zongheng.com/chapter/672340/37010929.html",
     "http://book.zongheng.com/chapter/672340/37027792.html", "http://book.zongheng.com/chapter/672340/37003770.html"},
    {"novel-en/royalroad-chapter.html",
     "http://www.royalroad.com/fiction/63759/super-supportive/chapter/1449598/one-hundred-two-what-kind-of-wordchain",
     "http://www.royalroad.com/fiction/63759/super-supportive/chapter/1453643/one-hundred-three-artonan-conversations",
     "http://www.royalroad.com/fiction/63759/super-supportive/chapter/1446199/one-hundred-one-anesidora-time-0715-pm"},
    {"novel-en/ao3-chapter.html", "http://archiveofourown.org/works/11808918/chapters/26640231",
     "http://archiveofourown.org/works/11808918/chapters/26796918#workskin", ""},
    {"novel-en/hostednovel-chapter.html", "http://hostednovel.com/17321/novel/legend-of-the-great-sage/lgs-chapter-1",
     "https://hostednovel.com/17370/novel/legend-of-the-great-sage/lgs-chapter-2", ""},
    {"novel-zh/biquge-zhushen-index.html", "http://www.biquge.com.tw/14_14055/", "", ""},
    {"novel-zh/999wx-canglang-index.html", "http://www.999wx.com/book/canglang/Default.shtml", "", ""},
    {"novel-zh/biqukan-doupo-index.html", "http://www.biqukan.com/1_1094/", "", ""},
    {"novel-zh/wenku8-3500-catalog.html", "http://www.wenku8.net/novel/3/3500/index.htm", "", ""},
    {"novel-zh/wenku8-2379-utf8-declared-gbk.html", "http://www.wenku8.net/book/2379.htm", "", ""},
    {"novel-zh/siluke-quanzhi-index.html", "http://www.siluke.tw/ny10354/", "", ""},
    {"novel-en/novelbin-index.html", "http://novelbin.me/novel-book/i-accumulate-spirit-roots-for-my-next-life", "", ""},
    {"novel-en/novelhall-index.html", "http://www.novelhall.com/novel-index/", "", ""},
};

inline QByteArray fixture(const QString &file)
{
    QFile f(QStringLiteral(LEKTO_FIXTURES "/") + file);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

inline QByteArray chapter(const QByteArray &book, int n, const QByteArray &extra = {})
{
    QByteArray body = "<title>" + book + " 第" + QByteArray::number(n) + "章</title>" + extra;
    for (int i = 0; i < 20; ++i)
        body += "<p>正文第" + QByteArray::number(i) + "段。</p>";
    body += "<a href='" + QByteArray::number(n - 1) + ".html'>上一章</a> <a href='index.html'>目录</a> "
            "<a href='" + QByteArray::number(n + 1) + ".html'>下一章</a>";
    return body;
}

// One page of a chapter sent in pages: the chapter's bar at the top and the
// page's at the bottom, whose next link turns to the next chapter only on the
// chapter's last page.
inline QByteArray chapterPage(int n, int page, int pages)
{
    const QByteArray c = QByteArray::number(n), p = QByteArray::number(page);
    auto name = [](int chapter, int pg) {
        return QByteArray::number(chapter) + (pg > 1 ? "_" + QByteArray::number(pg) : QByteArray()) + ".html";
    };
    QByteArray body = "<title>丁 第" + c + "章（" + p + "/" + QByteArray::number(pages) + "）</title>"
                      "<a href='" + name(n - 1, 1) + "'>上一章</a> <a href='index.html'>目录</a> "
                      "<a href='" + name(n + 1, 1) + "'>下一章</a>";
    for (int i = 0; i < 20; ++i)
        body += "<p>正文第" + QByteArray::number(i) + "段。</p>";
    body += "<a href='" + (page > 1 ? name(n, page - 1) : name(n - 1, pages)) + "'>上一页</a> <a href='index.html'>目录</a> ";
    body += page < pages ? "<a href='" + name(n, page + 1) + "'>下一页</a>" : "<a href='" + name(n + 1, 1) + "'>下一章</a>";
    return body;
}

inline int visibleWindows()
{
    int n = 0;
    for (QWidget *w : QApplication::topLevelWidgets())
        n += w->isVisible() ? 1 : 0;
    return n;
}

// Every top-level navigation the main view begins, with its flags.
struct Navigations {
    QStringList urls;
    QList<int> flags;
    bool cancel = false; // keep the page: record only

    void watch(TFLekto &w)
    {
        auto before = w.WB1->OnBeforeNavigate2;
        w.WB1->OnBeforeNavigate2 = [this, before, &w](TBrowserView *v, TBrowserObject d, QString &u, int &f, QString &t,
                                                      QByteArray &p, QString &h, bool &c) {
            if (d == w.WB1->Application()) {
                urls << u;
                flags << f;
                c = cancel;
            }
            if (!c)
                before(v, d, u, f, t, p, h, c);
        };
    }
    int count(const QString &url) const { return urls.count(url); }
};

} // namespace ChapterSite

// A test of chapter pages: the sites served, their requests, the reader's keys.
class ChapterSiteTest : public QObject
{
protected:
    TestHttpServer FProxy; // the sites, at their own addresses, each request logged

    QList<TestHttpServer::Request> requestsFor(const QString &address, int from = 0) const
    {
        QList<TestHttpServer::Request> out;
        const QByteArray target = QUrl(address).adjusted(QUrl::RemoveFragment).toString(QUrl::FullyEncoded).toLatin1();
        for (const auto &r : FProxy.requests().mid(from))
            if (r.target == target)
                out << r;
        return out;
    }
    // A real key press on the page, as the reader's.
    static void press(TFLekto &w, Qt::Key key, Qt::KeyboardModifiers mods = {})
    {
        w.WB1->SetFocus();
        spin(50);
        QTest::keyClick(w.WB1->focusProxy(), key, mods);
    }

    void serveSites()
    {
        using namespace ChapterSite;
        QVERIFY2(QFileInfo(QStringLiteral(LEKTO_FIXTURES)).isDir(), "the saved real pages are missing: " LEKTO_FIXTURES);
        QNetworkProxy::setApplicationProxy(QNetworkProxy(QNetworkProxy::HttpProxy, "127.0.0.1", FProxy.port()));
        for (const Chapter &c : kChapters) {
            const QByteArray body = fixture(QString::fromLatin1(c.file));
            QVERIFY2(!body.isEmpty(), c.file);
            FProxy.route(c.address, TestHttpServer::Response{200, "text/html", body, {}, false});
            for (const char *n : {c.next, c.previous})
                if (*n)
                    FProxy.route(QUrl(n).adjusted(QUrl::RemoveFragment).toString().toLatin1(), "<title>邻章</title><p>正文</p>");
        }
        for (int i = 1; i <= 4; ++i)
            FProxy.route("http://book.example.com/b1/" + QByteArray::number(i) + ".html", chapter("甲", i));
        FProxy.route("http://book.example.com/b2/1.html", chapter("乙", 1));
        for (int i = 1; i <= 3; ++i) {
            TestHttpServer::Response r{200, "text/html; charset=utf-8", chapter("饼", i), {}, false};
            r.headers.append({"Set-Cookie", "session=reader" + QByteArray::number(i) + "; Path=/"});
            FProxy.route("http://cookie.example.com/c/" + QByteArray::number(i) + ".html", r);
        }
        FProxy.route("http://book.example.com/field.html",
                     chapter("田", 1, "<input id=field value='abc'><div contenteditable id=edit>编辑</div>"));
        FProxy.route("http://book.example.com/wide.html", chapter("宽", 1, "<div style='width:5000px'>宽</div>"));
        // Pages that fit a 1100-pixel view, but not at 150 %: a site's
        // 960-pixel banner and column, and a box placed out to the right.
        for (int i = 1; i <= 3; ++i) {
            FProxy.route("http://book.example.com/z1/" + QByteArray::number(i) + ".html",
                         chapter("横幅", i, "<img width=960 height=90 alt='横幅'><div style='width:960px;height:40px;background:#c00'></div>"
                                            "<div style='width:960px;margin:0 auto'><p id=text>" + QByteArray("正文很长的一段，").repeated(40) + "</p></div>"));
            FProxy.route("http://book.example.com/z2/" + QByteArray::number(i) + ".html",
                         chapter("靠右", i, "<p id=text>正文。</p><div style='position:absolute;top:0;left:900px;width:40px;height:20px;background:#c00'></div>"));
        }
        FProxy.route("http://book.example.com/away.html",
                     "<title>外链</title><p>正文</p><a href='http://other.example.com/2.html'>下一章</a>");
        for (int n = 1; n <= 3; ++n)
            for (int page = 1; page <= 2; ++page)
                FProxy.route("http://book.example.com/paged/" + QByteArray::number(n)
                                 + (page > 1 ? "_" + QByteArray::number(page) : QByteArray()) + ".html",
                             chapterPage(n, page, 2));
        // Contents pages: the real ones of two sites, and a new book's few
        // chapters, which only its chapters name as contents.
        FProxy.route("http://www.biquge.com.tw/17_17275/",
                     TestHttpServer::Response{200, "text/html", fixture("novel-zh/biquge-zhushen-index.html"), {}, false});
        FProxy.route("http://www.999wx.com/book/fenghuo/Default.shtml",
                     TestHttpServer::Response{200, "text/html", fixture("novel-zh/999wx-canglang-index.html"), {}, false});
        FProxy.route("http://www.999wx.com/book/fenghuo/10227277.shtml", "<title>父亲的肖像</title><p>正文</p>");
        for (int i = 12; i <= 14; ++i)
            FProxy.route("http://book.example.com/b3/" + QByteArray::number(i) + ".html", chapter("丙", i));
        FProxy.route("http://book.example.com/b3/index.html", "<title>丙 目录</title><a href='12.html'>第12章</a> "
                                                              "<a href='13.html'>第13章</a> <a href='14.html'>第14章</a>");
        // A site's own turning script that keeps the key to itself.
        FProxy.route("http://book.example.com/own.html",
                     chapter("己", 1, "<script>document.onkeydown=function(e){if(e.keyCode==39){e.preventDefault();"
                                      "location='http://book.example.com/b1/2.html'}}</script>"));
    }
};
