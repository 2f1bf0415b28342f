#pragma once

// What the download tests share: a Chinese site's book of about 3 MB in GBK,
// sent with its name as such sites send it, the pages that link to it or
// open it by themselves, and a scripted save dialog.
#include "dialogs.h"
#include "testhttpserver.h"

#include <QtCore/QDir>
#include <QtCore/QFile>
#include <QtCore/QTemporaryDir>
#include <QtWidgets/QPushButton>

#include <optional>

namespace DownloadFixture {

using Response = TestHttpServer::Response;

// Content-Disposition as a Chinese site sends it: the name in raw GBK bytes.
inline QByteArray attachment(const QByteArray &nameBytes)
{
    return "attachment; filename=\"" + nameBytes + "\"";
}

inline const QByteArray kBookNameGbk = QByteArray::fromHex("b6b7c6c6b2d4f1b72e747874"); // 斗破苍穹.txt
inline const QString kBookName = QStringLiteral("斗破苍穹.txt");

// A novel of about 3 MB in GBK, no two lines alike.
inline QByteArray gbkBook()
{
    // "第N章 萧炎的斗气又一次突破了。" with N in ASCII digits.
    const QByteArray chapter = QByteArray::fromHex("b5da");
    const QByteArray rest = QByteArray::fromHex("d5c220cff4d1d7b5c4b6b7c6f8d3d6d2bbb4cecdbbc6c6c1cba1a3");
    QByteArray book;
    for (int n = 0; book.size() < 3 * 1024 * 1024; ++n)
        book += chapter + QByteArray::number(n) + rest + "\r\n";
    return book;
}

inline Response file(const QByteArray &body, const QByteArray &disposition, int trickleMs = 0)
{
    Response r;
    r.contentType = "text/plain; charset=gbk";
    r.body = body;
    if (!disposition.isEmpty())
        r.headers.append({"Content-Disposition", disposition});
    r.trickleMs = trickleMs;
    return r;
}

inline QStringList filesIn(const QString &dir)
{
    return QDir(dir).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
}

inline QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// The save dialog, scripted: it records what it proposed and answers from a
// queue, a file name in the test's folder or "<cancel>".
struct ScriptedSave {
    QTemporaryDir folder;
    QStringList proposed;
    QStringList answers;
    decltype(Dialogs::saveFileName) FSaved = Dialogs::saveFileName;

    ScriptedSave()
    {
        Dialogs::saveFileName = [this](const QString &, const QString &path) -> std::optional<QString> {
            proposed << path;
            const QString a = answers.isEmpty() ? QStringLiteral("<cancel>") : answers.takeFirst();
            if (a == QLatin1String("<cancel>"))
                return std::nullopt;
            return folder.filePath(a);
        };
    }
    ~ScriptedSave() { Dialogs::saveFileName = FSaved; }
    QString path(const QString &name) const { return folder.filePath(name); }
};

// A button the reader sees, by its caption.
inline QPushButton *buttonIn(QWidget *in, const QString &caption)
{
    for (QPushButton *b : in->findChildren<QPushButton *>())
        if (b->text() == caption)
            return b;
    return nullptr;
}

// A page with the download link, as a site's "TXT下载".
inline void routeLinkPage(TestHttpServer &server, const QByteArray &path, const QByteArray &target,
                          const QByteArray &attributes = {})
{
    server.route(path, "<title>斗破苍穹 TXT下载</title><p>全本下载：</p>"
                       "<p><a id=txt href='" + target + "' " + attributes + " style='font-size:40px'>TXT下载</a></p>"
                       "<img src='/cover.gif'>");
}

// The book, its pages, and pages that download by themselves.
inline void routeSite(TestHttpServer &server, const QByteArray &book)
{
    server.route("/book.txt", file(book, attachment(kBookNameGbk), 1500));
    server.route("/slow.txt", file(book, attachment(kBookNameGbk), 60000));
    Response cut = file(book, attachment(kBookNameGbk));
    cut.cutAfter = 100000;
    server.route("/cut.txt", cut);
    server.route("/small.txt", file("new text", attachment(kBookNameGbk)));
    routeLinkPage(server, "/index.html", "/book.txt");
    routeLinkPage(server, "/index-small.html", "/small.txt", "download");
    // A link that asks for a download itself: no navigation at all.
    routeLinkPage(server, "/index-attribute.html", "/book.txt", "download");
    // A link that opens in a new window: swallowed by a hidden view in
    // half-pure mode, and still the reader's file.
    routeLinkPage(server, "/index-blank.html", "/book.txt", "target=_blank");
    // A page that opens a file in a pop-up by itself.
    server.route("/popup-file.html", "<title>pop</title><p>text</p><script>window.open('/small.txt?popup')</script>");
    // After one click of the reader's, the page clicks its download link
    // again and again.
    server.route("/flood.html", "<title>flood</title><a id=dl download href='/small.txt?flood'>下载</a>"
                                 "<p><button id=go style='font-size:40px'>开始</button></p><script>"
                                 "document.getElementById('go').onclick=function(){var n=0;var t=setInterval(function(){"
                                 "document.getElementById('dl').click();if(++n>=100)clearInterval(t);},30);};</script>");
    // An advert that opens a window on the reader's first click anywhere.
    server.route("/ad-on-click.html", "<title>ad</title><p id=text style='font-size:40px'>正文正文正文</p>"
                                       "<p><a id=dl target=_blank href='/small.txt?link' style='font-size:40px'>TXT下载</a></p>"
                                       "<script>document.addEventListener('click',function(){window.open('/small.txt?ad');},"
                                       "{once:true});</script>");
}

} // namespace DownloadFixture
