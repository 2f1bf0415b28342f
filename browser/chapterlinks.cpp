#include "chapterlinks.h"

#include "bookkey.h"
#include "scripts.h"

#include <QtCore/QJsonArray>
#include <QtCore/QJsonDocument>
#include <QtCore/QJsonObject>

namespace ChapterLinks {
namespace {

// The sites' own words for their turning links, Simplified and Traditional.
const TWords kWords{
    {"下一章", "下一节", "下章", "下一節", "Next Chapter", "Next"},
    {"上一章", "上一节", "上章", "上一節", "Previous Chapter", "Prev Chapter", "Previous", "Prev"},
    {"Next Work", "Previous Work", "Prev Work"},
    {"next", "nextchapter", "nextchap", "nextpage", "nextbtn", "nextbutton", "nextlink", "btnnext", "chapternext",
     "nextchapterbutton", "nextchapterbtn", "nextchapterlink", "pagenext"},
    {"prev", "previous", "prevchapter", "previouschapter", "prevchap", "prevpage", "prevbtn", "prevbutton", "prevlink",
     "btnprev", "btnprevious", "chapterprev", "prevchapterbutton", "prevchapterbtn", "previouschapterbutton",
     "prevchapterlink", "pageprev"},
    {"下一页", "下页", "下一頁", "下頁", "Next Page"},
    {"上一页", "上页", "上一頁", "上頁", "Previous Page", "Prev Page"},
    {"目录", "返回目录", "章节目录", "目 录", "目錄", "返回目錄", "章節目錄", "Table of Contents", "Contents", "Index",
     "Chapter Index", "Fiction Index"},
};

QJsonArray array(const QStringList &list)
{
    QJsonArray out;
    for (const QString &s : list)
        out.append(s);
    return out;
}

// A link worth following: a web address that is not the page itself.
QUrl checked(const QVariant &href, const QUrl &page)
{
    const QUrl url(href.toString());
    if (!url.isValid() || (url.scheme() != QLatin1String("http") && url.scheme() != QLatin1String("https")))
        return {};
    if (url.adjusted(QUrl::RemoveFragment) == page.adjusted(QUrl::RemoveFragment))
        return {};
    return url;
}

} // namespace

const TWords &Words()
{
    return kWords;
}

const QString &FindScript()
{
    static const QString script = [] {
        const QJsonObject table{{"next", array(kWords.next)},
                                {"previous", array(kWords.previous)},
                                {"never", array(kWords.never + kWords.contents)},
                                {"nextNames", array(kWords.nextNames)},
                                {"previousNames", array(kWords.previousNames)},
                                {"nextPage", array(kWords.nextPage)},
                                {"previousPage", array(kWords.previousPage)},
                                {"contents", array(kWords.contents)}};
        const QString json = QString::fromUtf8(QJsonDocument(table).toJson(QJsonDocument::Compact));
        // Arrows, brackets and spaces around a link's words are decoration.
        // A sliver of overflow (an unstyled menu, a long word) does not make
        // a page one that is read sideways, nor does the zoom: a page that
        // would fit the view unzoomed turns at its edge.
        return QStringLiteral(R"JS((function(T){
var deco='\\s\\u00a0\\u3000\\u2190-\\u21ff\\u27f5-\\u27f8\\u00ab\\u00bb\\u2039\\u203a<>\\uff1c\\uff1e\\u300a\\u300b\\u3008\\u3009\\[\\]\\u3010\\u3011()\\uff08\\uff09|:\\uff1a\\u00b7\\u2022\\-\\u2013\\u2014.\\u3002\\u2026';
var edge=new RegExp('^['+deco+']+|['+deco+']+$','g');
function norm(s){return String(s||'').replace(/[\s\u00a0\u3000]+/g,' ').replace(edge,'').toLowerCase();}
function key(s){return String(s).toLowerCase().replace(/[-_\s]/g,'');}
var W={};for(var k in T)W[k]=T[k].map(/Names$/.test(k)?key:norm);
function has(l,s){return s!==''&&l.indexOf(s)>=0;}
function text(a){var t=norm(a.textContent);if(!t){var i=a.querySelector&&a.querySelector('img[alt]');if(i)t=norm(i.alt);}
if(!t&&a.getAttribute)t=norm(a.getAttribute('title'));return t;}
var here=location.href.split('#')[0];
function usable(a){if(!a||typeof a.href!=='string'||!/^https?:/i.test(a.href)||a.href.split('#')[0]===here)return false;
return a.tagName==='LINK'||!has(W.never,text(a));}
function byRel(rels){var groups=[document.querySelectorAll('link[rel]'),document.querySelectorAll('a[rel][href],area[rel][href]')];
for(var g=0;g<groups.length;g++)for(var i=0;i<groups[g].length;i++){var e=groups[g][i],r=e.getAttribute('rel').toLowerCase().split(/\s+/);
for(var j=0;j<rels.length;j++)if(r.indexOf(rels[j])>=0&&usable(e))return e.href;}return '';}
function dir(u){u=String(u).split('#')[0].split('?')[0];return u.slice(0,u.lastIndexOf('/')+1);}
var mine=dir(here),anchors=document.querySelectorAll('a[href],area[href]');
function byText(words,inDir){for(var i=0;i<anchors.length;i++){var a=anchors[i];
if(has(words,text(a))&&usable(a)&&(!inDir||dir(a.href)===mine))return a.href;}return '';}
function byName(names){var es=document.querySelectorAll('[id],[class]');
for(var i=0;i<es.length;i++){var e=es[i],t=[e.id].concat(typeof e.className==='string'?e.className.split(/\s+/):[]);
for(var j=0;j<t.length;j++)if(t[j]&&has(names,key(t[j]))){var a=e.closest('a[href],area[href]')||e.querySelector('a[href]');
if(usable(a))return a.href;}}return '';}
var next=byRel(['next'])||byText(W.nextPage,true)||byText(W.next.concat(W.nextPage))||byName(W.nextNames);
var prev=byRel(['prev','previous'])||byText(W.previousPage,true)||byText(W.previous.concat(W.previousPage))||byName(W.previousNames);
var contents='',seen=Object.create(null),into=0;
for(var i=0;i<anchors.length;i++){var a=anchors[i],h=a.href;if(typeof h!=='string'||!/^https?:/i.test(h))continue;
if(!contents&&has(W.contents,text(a)))contents=h;h=h.split('#')[0];
if(h!==here&&!seen[h]&&dir(h)===mine){seen[h]=true;++into;}}
var side=false,e=document.scrollingElement||document.documentElement;
if(e&&document.documentElement){var hs=getComputedStyle(document.documentElement),bs=document.body?getComputedStyle(document.body):null;
function clip(s){return !!s&&(s.overflowX==='hidden'||s.overflowX==='clip');}
var z=window.lektoZoom||1;
side=e.scrollWidth-e.clientWidth>Math.max(64,e.clientWidth/10)&&!clip(hs)&&!(hs.overflowX==='visible'&&clip(bs))
&&!(z>1&&e.scrollWidth<=e.clientWidth*z+1);}
if(!window.lektoChapterDoc)window.lektoChapterDoc=String(Math.random());
var left=!!window.lektoKeySeq&&(window.lektoLeaveSeq||0)>window.lektoKeySeq;
return [next,prev,side,location.href,window.lektoChapterDoc,left,contents,into];
}))JS") + QLatin1Char('(') + json + QLatin1Char(')');
    }();
    return script;
}

TChapterLinks FromAnswer(const QVariant &answer)
{
    const QVariantList list = answer.toList();
    TChapterLinks links;
    if (list.size() != 8)
        return links;
    links.page = QUrl(list[3].toString());
    links.document = list[4].toString();
    links.next = checked(list[0], links.page);
    links.previous = checked(list[1], links.page);
    links.scrollsSideways = list[2].toBool();
    links.leftWithTheKey = list[5].toBool();
    const QUrl contents(list[6].toString());
    if (contents.isValid() && (contents.scheme() == QLatin1String("http") || contents.scheme() == QLatin1String("https")))
        links.contents = contents;
    links.linksIntoBook = list[7].toInt();
    return links;
}

bool IsContentsPage(const TChapterLinks &found, const QUrl &chaptersContents)
{
    if (found.page.isEmpty())
        return false;
    const QUrl page = found.page.adjusted(QUrl::RemoveFragment);
    if (!chaptersContents.isEmpty() && chaptersContents.adjusted(QUrl::RemoveFragment) == page)
        return true;
    // A page to turn from is a chapter, whatever else it lists.
    if (!found.next.isEmpty() || !found.previous.isEmpty())
        return false;
    return BookKey::IsBookAddress(page.toString(QUrl::FullyEncoded)) || found.linksIntoBook >= kContentsLinks;
}

const QString &WatchScript()
{
    // Counted, not timed: what matters is which came last.
    static const QString script = QStringLiteral(
        "(function(){var n=0;"
        "addEventListener('keydown',function(e){if(e.key==='ArrowLeft'||e.key==='ArrowRight')window.lektoKeySeq=++n;},true);"
        "function leave(){window.lektoLeaveSeq=++n;}"
        "if(window.navigation&&navigation.addEventListener)navigation.addEventListener('navigate',leave);"
        "})();");
    return script;
}

QString OpenScript(const QUrl &url, const QString &document)
{
    return QStringLiteral("(function(u,d){if(window.lektoChapterDoc!==d)return false;location.assign(u);return true;})(%1,%2)")
        .arg(Scripts::jsString(url.toString(QUrl::FullyEncoded)), Scripts::jsString(document));
}

bool SameSite(const QUrl &page, const QUrl &link)
{
    return !page.host().isEmpty() && page.scheme() == link.scheme()
        && page.host().compare(link.host(), Qt::CaseInsensitive) == 0;
}

bool SameBook(const QUrl &a, const QUrl &b)
{
    return SameSite(a, b)
        && BookKey::Split(a.toString(QUrl::FullyEncoded)).book == BookKey::Split(b.toString(QUrl::FullyEncoded)).book;
}

} // namespace ChapterLinks
