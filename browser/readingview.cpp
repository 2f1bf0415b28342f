// A view's side of the reading view: finding a chapter's text in the page
// and showing it in the page's place.
#include "browserview.h"

#include "browserpage.h"
#include "scripts.h"

#include <QtCore/QJsonArray>
#include <QtCore/QJsonDocument>
#include <QtCore/QPointer>
#include <QtWebEngineCore/QWebEngineScript>

namespace {

QString wordsJson()
{
    QJsonArray next, previous;
    for (const QString &w : ChapterLinks::Words().nextPage)
        next.append(w);
    for (const QString &w : ChapterLinks::Words().previousPage)
        previous.append(w);
    return QString::fromUtf8(QJsonDocument(QJsonArray{next, previous}).toJson(QJsonDocument::Compact));
}

// Takes the chapter-link finder's answer l and answers it with what the
// reading view needs appended: [state, title, lines, characters, next,
// previous, contents, next is a page, previous is a page]. The text is the
// element holding most running text of its own: text and <br>-separated
// lines, paragraphs and leaf blocks, never links. Well-known names of text
// containers weigh. Inside it, blocks that are mostly links or named as a
// site's furniture are left out, and so are lines that are only links.
const QString kExtract = QStringLiteral(R"JS(function(l,PW){
var d=document,b=d.body,next=l[0]||'',prev=l[1]||'',contents=l[6]||'';
function squeeze(s){return String(s||'').replace(/[\s\u00a0\u3000\u2190-\u21ff<>\u00ab\u00bb\[\]\u3010\u3011()\uff08\uff09|:\uff1a\u00b7]+/g,'').toLowerCase();}
var pw=[PW[0].map(squeeze),PW[1].map(squeeze)];
function isPage(h,w){if(!h)return false;var as=d.querySelectorAll('a[href]');
for(var i=0;i<as.length;i++)if(as[i].href===h&&w.indexOf(squeeze(as[i].textContent))>=0)return true;return false;}
var np=isPage(next,pw[0]),pp=isPage(prev,pw[1]);
function out(state,title,lines,chars){return [state,title,lines,chars,next,prev,contents,np,pp];}
if(d.getElementById('lekto-reader'))return out('shown','',[],0);
if(!b||b.tagName!=='BODY'||(!next&&!prev))return out('none','',[],0);
var SKIP={SCRIPT:1,STYLE:1,NOSCRIPT:1,IFRAME:1,FORM:1,BUTTON:1,SELECT:1,OPTION:1,INPUT:1,TEXTAREA:1,svg:1,SVG:1,
CANVAS:1,OBJECT:1,EMBED:1,VIDEO:1,AUDIO:1,TEMPLATE:1,NAV:1,HEADER:1,FOOTER:1,ASIDE:1,MENU:1,LABEL:1,IMG:1};
var TEXTY={P:1,SPAN:1,FONT:1,B:1,STRONG:1,I:1,EM:1,SMALL:1,U:1,Q:1,CITE:1,SUB:1,SUP:1,BLOCKQUOTE:1,DIV:1,S:1,DEL:1,INS:0};
function count(s){return s?s.replace(/[\s\u00a0\u3000]+/g,'').length:0;}
function key(s){return String(s||'').toLowerCase().replace(/[-_\s]/g,'');}
function names(e){return [key(e.id)].concat(typeof e.className==='string'?e.className.split(/\s+/).map(key):[]);}
var KNOWN=/^(content|contents|chaptercontent|htmlcontent|booktext|readcontent|txt|text|nr1|chaptertext|articlecontent|entrycontent|userstuff|chapterinner|novelcontent|txtcontent|acontent|showtxt|readtext|contentbox|chapterbody|textcontent)$/;
var FURNITURE=/landmark|nav|menu|footer|header|comment|share|crumb|bread|copyright|notice|readtip|toolbar|recommend|related|sidebar|pagination|pager|adsgg|adread|advert|banner|skin|thumb|bookmark|report|^ads?\d*$|^gg\d*$/;
function known(e){var n=names(e);for(var i=0;i<n.length;i++)if(KNOWN.test(n[i]))return true;return false;}
function furniture(e){var n=names(e);for(var i=0;i<n.length;i++)if(n[i]&&FURNITURE.test(n[i]))return true;return false;}
// The characters of an element's text outside links.
function plain(e){var t=0,w=d.createTreeWalker(e,NodeFilter.SHOW_TEXT,null),n;
while((n=w.nextNode())){var p=n.parentNode,inLink=false;while(p&&p!==e){if(p.tagName==='A'||SKIP[p.tagName]){inLink=true;break;}p=p.parentNode;}
if(!inLink)t+=count(n.data);}return t;}
var BLOCKSEL='div,p,table,ul,ol,dl,section,article,h1,h2,h3,h4,h5,h6,li,form';
var all=b.getElementsByTagName('*'),score=new Map();
function give(e,v){if(e&&e!==d.documentElement)score.set(e,(score.get(e)||0)+v);}
// A paragraph: a text element with no blocks and no line breaks inside. Its
// text counts for the element around it, and half for the one around that;
// so does text that stands in an element of its own, between its lines.
function unit(n){return TEXTY[n.tagName]&&(n.tagName==='P'||!n.querySelector(BLOCKSEL))&&!n.querySelector('br');}
for(var i=0;i<all.length;i++){var e=all[i];if(SKIP[e.tagName]||e.tagName==='A'||unit(e))continue;
for(var n=e.firstChild;n;n=n.nextSibling){var c=0;if(n.nodeType===3)c=count(n.data);
else if(n.nodeType===1&&unit(n))c=plain(n);
if(c){give(e,c);give(e.parentElement,c/2);}}}
var best=null,bestScore=0;score.forEach(function(v,e){v*=known(e)?1.5:1;if(v>bestScore){bestScore=v;best=e;}});
var bestChars=best?plain(best):0;
if(!best||bestChars<300)return out('none','',[],bestChars);
var pre=/^pre/.test(getComputedStyle(best).whiteSpace),lines=[],cur='',curLink=0;
var BLOCKS={block:1,'list-item':1,flex:1,grid:1,table:1,'table-row':1,'flow-root':1};
function flush(){var c=count(cur);if(c&&curLink<c*0.6)lines.push(cur);cur='';curLink=0;}
function add(t,link){if(pre&&t.indexOf('\n')>=0){var p=t.split('\n');for(var j=0;j<p.length;j++){if(j)flush();cur+=p[j];if(link)curLink+=count(p[j]);}return;}
cur+=t;if(link)curLink+=count(t);}
function walk(node,link){for(var n=node.firstChild;n;n=n.nextSibling){
if(n.nodeType===3){add(n.data,link);continue;}if(n.nodeType!==1)continue;var tg=n.tagName;
if(tg==='BR'){flush();continue;}if(SKIP[tg])continue;var cs=getComputedStyle(n);
if(cs.display==='none'||cs.visibility==='hidden')continue;
if(BLOCKS[cs.display]||/^H[1-6]$/.test(tg)||tg==='P'||tg==='DIV'){flush();
var all=count(n.textContent);if(furniture(n)||(all&&plain(n)<all*0.5))continue;walk(n,link);flush();}
else walk(n,link||tg==='A');}}
walk(best,false);flush();
var dt=String(d.title||'').replace(/\s+/g,' '),title='',ts=-1,cands=d.querySelectorAll('h1,h2,h3,[class*=title],[id*=title],[class*=Title],[id*=Title]');
var nearest=null;for(var i=0;i<cands.length;i++){var c=cands[i];if(c.compareDocumentPosition(best)&Node.DOCUMENT_POSITION_FOLLOWING&&!c.contains(best))nearest=c;}
for(var i=0;i<cands.length;i++){var c=cands[i],t=String(c.textContent||'').replace(/\s+/g,' ').trim();
if(!t||t.length>80||c.contains(best)||c.closest('a')||plain(c)<count(t)*0.5)continue;
var pos=c.compareDocumentPosition(best),s=0;
if(dt.indexOf(t)>=0)s+=4;if(pos&Node.DOCUMENT_POSITION_FOLLOWING||best.contains(c))s+=2;if(c===nearest)s+=2;
if(c.tagName==='H1')s+=2;else if(c.tagName==='H2')s+=1;
if(/\u7b2c\s*[\d\u3007\u96f6\u4e00\u4e8c\u4e09\u56db\u4e94\u516d\u4e03\u516b\u4e5d\u5341\u767e\u5343\u4e07\u4e24]+\s*[\u7ae0\u8282\u56de\u5377\u8bdd\u7bc7]|chapter\s*\d/i.test(t))s+=4;
if(s>ts){ts=s;title=t;}}
if(!title)title=dt.split(/\s+[-_|\u2013\u2014]\s+|_/)[0].trim();
title=title.replace(/^\u6b63\u6587\s*/,'');
function sq(s){return s.replace(/[\s\u00a0\u3000]+/g,'').replace(/^\u6b63\u6587/,'');}
var st=sq(title),out2=[];for(var i=0;i<lines.length;i++){if(i<3&&st&&sq(lines[i])===st)continue;out2.push(lines[i]);}
return out('found',title,out2,bestChars);})JS");

const QString &readingScript()
{
    static const QString script = QStringLiteral("(function(l){try{l.push((") + kExtract + QStringLiteral(")(l,")
        + wordsJson() + QStringLiteral("));}catch(e){l.push(null);}return l;})(") + ChapterLinks::FindScript()
        + QStringLiteral(")");
    return script;
}

const QString kShow = QStringLiteral(R"JS((function(h,c){var d=document,r=d.documentElement,b=d.body;
if(!r||!b||b.tagName!=='BODY')return false;
if(!window.lektoReaderSheets){var ss=[];for(var i=0;i<d.styleSheets.length;i++){var s=d.styleSheets[i];
if(!s.disabled&&!(s.ownerNode&&s.ownerNode.id==='lekto-reader-style')){s.disabled=true;ss.push(s);}}window.lektoReaderSheets=ss;}
var st=d.getElementById('lekto-reader-style');if(!st){st=d.createElement('style');st.id='lekto-reader-style';r.appendChild(st);}
st.textContent=c;var a=d.getElementById('lekto-reader');if(!a){a=d.createElement('div');a.id='lekto-reader';}
a.innerHTML=h;b.appendChild(a);r.classList.add('lekto-reading');window.scrollTo(0,0);return true;}))JS");

const QString kRestyle = QStringLiteral(
    "(function(c){var s=document.getElementById('lekto-reader-style');if(!s)return false;s.textContent=c;return true;})");

const QString kRemove = QStringLiteral(
    "(function(){var d=document,a=d.getElementById('lekto-reader');if(!a)return false;a.remove();"
    "var s=d.getElementById('lekto-reader-style');if(s)s.remove();d.documentElement.classList.remove('lekto-reading');"
    "(window.lektoReaderSheets||[]).forEach(function(x){x.disabled=false;});window.lektoReaderSheets=null;return true;})()");

} // namespace

const QString &TBrowserView::ReadingCompletionScript()
{
    static const QString script = Scripts::documentState(readingScript());
    return script;
}

void TBrowserView::SetReadingRules(const Reading::TRules &rules)
{
    FReadingRules = rules;
}

void TBrowserView::SetReadingView(bool on)
{
    if (FReadingOn == on)
        return;
    FReadingOn = on;
    if (FShutDown || !FDoc || FDoc->IsErrorPage || ShowsOwnDocument())
        return;
    if (!on) {
        if (FReadingShown) {
            FReadingShown = false;
            QPointer<TBrowserView> self(this);
            const quint64 serial = FNavigationSerial;
            FPage->runJavaScript(kRemove, QWebEngineScript::ApplicationWorld, [self, serial](const QVariant &v) {
                if (Answered(self, v) && serial == self->FNavigationSerial && self->OnReadingView)
                    self->OnReadingView(self, TReadingOutcome::Off);
            });
        }
        return;
    }
    // The page shown now goes into the view too, where it is a chapter.
    findAndShowReading([](bool) {});
}

void TBrowserView::SetReadingStyle(const Reading::TStyle &style)
{
    FReadingStyle = style.clamped();
    FReadingCss = Reading::Css(FReadingStyle);
    if (FReadingShown && !FShutDown)
        FPage->runJavaScript(kRestyle + QStringLiteral("(%1)").arg(Scripts::jsString(FReadingCss)),
                             QWebEngineScript::ApplicationWorld);
    SetOwnDocumentNightStyle(Reading::OwnPageCss(FReadingStyle.theme));
}

void TBrowserView::SetOwnDocumentNightStyle(const QString &css)
{
    if (css == FOwnNightCss)
        return;
    FOwnNightCss = css;
    setOwnDocumentScript(QStringLiteral("lekto-night"), QWebEngineScript::DocumentCreation,
                         css.isEmpty() ? QString() : Scripts::addStyleSheet(css, QStringLiteral("lekto-night")));
    // The page shown now, if it is ours, changes at once.
    if (!FShutDown && ShowsOwnDocument())
        FPage->runJavaScript(QStringLiteral("(function(c){var s=document.getElementById('lekto-night');"
                                            "if(s)s.remove();if(!c)return;s=document.createElement('style');s.id='lekto-night';"
                                            "s.textContent=c;document.documentElement.appendChild(s);})(%1)")
                                 .arg(Scripts::jsString(css)),
                             QWebEngineScript::ApplicationWorld);
}

std::optional<QVariant> TBrowserView::takeReadingAnswer(QVariant &answer)
{
    QVariantList state = answer.toList();
    if (state.size() != 3)
        return std::nullopt;
    QVariantList links = state[2].toList();
    if (links.size() != 9)
        return std::nullopt;
    const QVariant reading = links.takeLast();
    state[2] = links;
    answer = state;
    return reading;
}

void TBrowserView::showReading(const QVariant &extracted, std::function<void(bool shown)> then)
{
    Reading::TChapter chapter = Reading::TChapter::FromAnswer(extracted);
    const THtmlDocument2 *doc = Doc2();
    const bool turns = doc && (!doc->chapter.next.isEmpty() || !doc->chapter.previous.isEmpty());
    auto report = [this](TReadingOutcome o) {
        if (OnReadingView)
            OnReadingView(this, o);
    };
    if (!turns || !extracted.isValid() || extracted.isNull()) {
        FReadingShown = false;
        report(TReadingOutcome::NotChapter);
        then(false);
        return;
    }
    if (chapter.already) {
        FReadingShown = true;
        SetReadingStyle(FReadingStyle);
        report(TReadingOutcome::Shown);
        then(true);
        return;
    }
    const QStringList lines = chapter.found ? FReadingRules.Clean(chapter.lines) : QStringList();
    if (lines.isEmpty()) {
        FReadingShown = false;
        report(TReadingOutcome::TextNotFound);
        then(false);
        return;
    }
    // The links as the finder has them, so the keys and the bars agree.
    chapter.next = doc->chapter.next;
    chapter.previous = doc->chapter.previous;
    if (chapter.contents.isEmpty())
        chapter.contents = doc->chapter.contents;
    const QString html = Reading::ArticleHtml(chapter, lines);
    QPointer<TBrowserView> self(this);
    const quint64 serial = FNavigationSerial;
    FPage->runJavaScript(kShow + QStringLiteral("(%1,%2)").arg(Scripts::jsString(html), Scripts::jsString(FReadingCss)),
                         QWebEngineScript::ApplicationWorld, [self, serial, then](const QVariant &v) {
                             if (!Answered(self, v) || serial != self->FNavigationSerial)
                                 return;
                             self->FReadingShown = v.toBool();
                             if (self->OnReadingView)
                                 self->OnReadingView(self, self->FReadingShown ? TReadingOutcome::Shown
                                                                               : TReadingOutcome::TextNotFound);
                             then(self->FReadingShown);
                         });
}

void TBrowserView::findAndShowReading(std::function<void(bool shown)> then)
{
    QPointer<TBrowserView> self(this);
    const quint64 serial = FNavigationSerial;
    FPage->runJavaScript(ReadingCompletionScript(), QWebEngineScript::ApplicationWorld,
                         [self, serial, then](const QVariant &v) {
                             if (!Answered(self, v) || serial != self->FNavigationSerial || !self->FReadingOn)
                                 return;
                             QVariant answer = v;
                             const auto reading = takeReadingAnswer(answer);
                             if (!reading || !self->adoptDocument(answer))
                                 return;
                             self->showReading(*reading, then);
                         });
}
