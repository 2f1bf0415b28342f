#include "scripts.h"

#include <QtCore/QJsonArray>
#include <QtCore/QJsonDocument>

namespace Scripts {
namespace {

// A string as a JavaScript literal.
QString literal(const QString &s)
{
    const QByteArray json = QJsonDocument(QJsonArray{s}).toJson(QJsonDocument::Compact);
    return QString::fromUtf8(json.mid(1, json.size() - 2));
}

const QString kTitle = QStringLiteral(
    "(function(){var t=document.querySelector('title');"
    "if(!t)return '';var s=document.title;return s!==''?s:t.text;})()");

} // namespace

QString jsString(const QString &s)
{
    return literal(s);
}

// Not on our own documents: they hold no objects, and a 20,000-row start
// page parsed a tenth slower or more under the policy.
const QString kNoObjectsPolicy = QStringLiteral(
    "if(location.protocol!=='lekto:')new MutationObserver(function(m,o){var h=document.head;if(!h)return;o.disconnect();"
    "var c=document.createElement('meta');c.httpEquiv='Content-Security-Policy';"
    "c.content=\"object-src 'none'\";h.insertBefore(c,h.firstChild);})"
    ".observe(document,{childList:true,subtree:true});");

const QString kRowsSetup = QStringLiteral("if(window.lektoRows)lektoRows.setup();");
const QString kShowAllRows = QStringLiteral("if(window.lektoRows)lektoRows.all();");

QString rowsAsNeeded(const QString &rowSelector, int first, int rowHeight)
{
    // One rule, the same from the first byte to the last, holds back every
    // row not marked as come in; rows come in by their mark, so only they
    // are styled again (rewriting the rule itself restyled all twenty
    // thousand rows, a stall a screenful). While the document arrives, the
    // first rows of each list are marked before each frame is drawn. (A
    // rule holding back rows past a position, :nth-child, counted each new
    // row's elder siblings as it came: a third of a second at 20,000 rows.)
    // Once the document is in, a block after each list holds the held rows'
    // place at the height a row turns out to have in this view (26 px, or
    // more where titles wrap), which off-screen rows are given too: the
    // scroll bar stands for the whole list and keeps its length on the way
    // down. Rows come in as the reader scrolls towards them (a jump with End
    // or the scroll bar brings in everything up to there); what needs every
    // row gets them all: Tab, select-all, finding, printing.
    return Scripts::addStyleSheet(QStringLiteral("%1:not([data-lekto-shown]){display:none}").arg(rowSelector),
                                  QStringLiteral("lekto-rows"))
        + QStringLiteral(R"JS((function(sel,first,h0){
var groups=null,size=null,held=null,done=false,ahead=200,watch=null,h=h0,marked=new Map();
function sheet(id){var s=document.createElement('style');s.id=id;document.documentElement.appendChild(s);return s;}
function zoom(){return parseFloat(getComputedStyle(document.documentElement).zoom)||1;}
// The lists: elements whose first child is a row, found from the top
// without walking the rows themselves.
function lists(){var out=[];(function walk(e,depth){for(var c=e&&e.firstElementChild;c;c=c.nextElementSibling){
var r=c.firstElementChild;if(r&&r.matches(sel))out.push(c);else if(depth<8)walk(c,depth+1);}})(document.documentElement,0);
return out;}
// Marks a list's rows up to `upto` (as far as they have arrived).
function mark(l,upto){var n=marked.get(l)||0,c=l.children;
for(;n<upto&&c[n];n++)c[n].setAttribute('data-lekto-shown','');marked.set(l,n);return n;}
function show(g,upto){g.shown=mark(g.el,Math.min(g.len,upto));}
function early(){if(groups)return;var ls=lists();for(var i=0;i<ls.length;i++)mark(ls[i],first);
if(document.readyState==='loading')requestAnimationFrame(early);}
function render(){var t='',left=false;if(watch)watch.disconnect();
for(var i=0;i<groups.length;i++){var g=groups[i];if(g.shown>=g.len)continue;left=true;
t+='[data-lekto-rows="'+i+'"]::after{content:"";display:block;height:'+(g.len-g.shown)*h+'px}';
if(watch)watch.observe(g.el.children[g.shown-1]);}
held.textContent=t;
if(!left){done=true;removeEventListener('scroll',need);removeEventListener('resize',resized);}}
// The height rows have in this view: a few of the first, each laid out
// for the moment (one not drawn yet measures its place only).
function measure(){var c=groups[0].el.children,n=Math.min(groups[0].shown,first),step=Math.max(1,Math.floor(n/8)),sum=0,k=0;
for(var i=0;i<n;i+=step){var r=c[i],had=r.getAttribute('style');r.style.contentVisibility='visible';
sum+=r.getBoundingClientRect().height;k++;if(had===null)r.removeAttribute('style');else r.setAttribute('style',had);}
var m=k?Math.max(h0,sum/k):h0;if(Math.abs(m-h)<0.1*h)return false;
h=m;size.textContent='[data-lekto-rows]>'+sel+'{contain-intrinsic-size:auto '+h+'px}';return true;}
function setup(){if(groups)return;
if(!document.getElementById('lekto-rows')){if(document.readyState!=='loading'){groups=[];done=true;}return;}
groups=[];var ls=lists();
for(var i=0;i<ls.length;i++){var l=ls[i],len=l.children.length,n=mark(l,first);if(n>=len)continue;
l.setAttribute('data-lekto-rows',groups.length);groups.push({el:l,shown:n,len:len});}
if(!groups.length){done=true;return;}
size=sheet('lekto-rows-size');held=sheet('lekto-rows-held');measure();
// Near the last row shown, whatever the measures below make of a zoom.
watch=new IntersectionObserver(function(es){var more=false;es.forEach(function(e){if(!e.isIntersecting)return;
groups.forEach(function(g){if(g.shown<g.len&&g.el.children[g.shown-1]===e.target){show(g,g.shown+ahead);more=true;}});});
if(more)render();},{rootMargin:'200% 0px'});
render();if(done)return;
addEventListener('scroll',need,{passive:true});addEventListener('resize',resized);need();}
function resized(){if(!done&&measure())render();need();}
function need(){if(done||!groups)return;var want=3*innerHeight/zoom(),more=false;
for(var i=0;i<groups.length;i++){var g=groups[i];if(g.shown>=g.len)continue;
var b=g.el.children[g.shown-1].getBoundingClientRect().bottom;if(b>=want)break;
show(g,g.shown+Math.ceil((want-b)/h)+ahead);more=true;if(g.shown<g.len)break;}
if(more)render();}
// Asked while the document still arrives, what is in shows now and the
// lists are set up once all of it is in: set up now, they would stop where
// the document had got to, and later rows and lists would never show.
function all(){if(!groups&&document.readyState==='loading'){var ls=lists();for(var i=0;i<ls.length;i++)mark(ls[i],Infinity);return;}
setup();if(done||!groups)return;for(var i=0;i<groups.length;i++)show(groups[i],groups[i].len);render();}
window.lektoRows={setup:setup,all:all};
requestAnimationFrame(early);
addEventListener('DOMContentLoaded',setup);
addEventListener('beforeprint',all);
addEventListener('keydown',function(e){var k=e.key.toLowerCase();
if(k==='tab'||((e.ctrlKey||e.metaKey)&&k==='a'))all();},true);
})(%1,%2,%3);)JS")
              .arg(jsString(rowSelector))
              .arg(first)
              .arg(rowHeight);
}

const QString kDocumentState = QStringLiteral("[location.href,") + kTitle + QStringLiteral("]");

QString documentState(const QString &webPageScript)
{
    return QStringLiteral("[location.href,") + kTitle
        + QStringLiteral(",location.protocol==='lekto:'?null:(function(){try{return ") + webPageScript
        + QStringLiteral(";}catch(e){return null;}})()]");
}

QString completionState(const QString &webPageScript)
{
    return QStringLiteral("if(location.protocol==='lekto:'){") + kRowsSetup + QStringLiteral("}")
        + documentState(webPageScript);
}

QString replaceOwnDocument(const QUrl &url)
{
    return QStringLiteral("(function(u){if(location.protocol!=='lekto:')return false;location.replace(u);return true;})(%1)")
        .arg(literal(url.toString(QUrl::FullyEncoded)));
}

QString openFromDocument(const QUrl &url)
{
    return QStringLiteral(
               "(function(u){var p=location.protocol;if(p!=='http:'&&p!=='https:'&&p!=='file:')return false;"
               "for(var i=0;i<document.forms.length;i++){var f=document.forms[i];"
               "if(f.method==='post'&&f.action===u&&f.target&&f.target!=='_self'){"
               "var t=f.target;f.target='_self';HTMLFormElement.prototype.submit.call(f);f.target=t;return true;}}"
               "location.assign(u);return true;})(%1)")
        .arg(literal(url.toString(QUrl::FullyEncoded)));
}

QString showInside(const QString &headAndBody)
{
    return QStringLiteral("(function(h){document.documentElement.innerHTML=h;return document.title;})(%1)").arg(literal(headAndBody));
}

QString documentZoom(double factor)
{
    return QStringLiteral("if(document.documentElement)document.documentElement.style.zoom=%1;")
        .arg(qFuzzyCompare(factor, 1.0) ? QStringLiteral("''") : QString::number(factor));
}

QString documentZoomWhenReady(double factor)
{
    return QStringLiteral("(function(){var z=%1;var e=document.documentElement;if(e){e.style.zoom=z;return;}"
                          "new MutationObserver(function(m,o){var r=document.documentElement;"
                          "if(r){r.style.zoom=z;o.disconnect();}}).observe(document,{childList:true});})();")
        .arg(factor);
}

QString fitToView(double zoom)
{
    if (zoom <= 1.0) // nothing to fit: only a fitting in place is undone
        return QStringLiteral("if(window.lektoFit){window.lektoZoom=1;window.lektoFit();}");
    // Measured without the fitting style: the page as its site made it is
    // what tells a page read sideways (wider than the view at 100 %) from
    // one the zoom widened.
    return QStringLiteral(R"JS((function(z){var w=window;w.lektoZoom=z;
if(!w.lektoFit){w.lektoFit=function(){var d=document,r=d.documentElement;if(!r)return;
var s=d.getElementById('lekto-fit'),e=d.scrollingElement||r,k=w.lektoZoom||1;if(s)s.remove();
if(k<=1||!d.body)return;var c=e.clientWidth,sw=e.scrollWidth;if(sw<=c+1||sw>c*k+1)return;
s=d.createElement('style');s.id='lekto-fit';s.textContent=%1;r.appendChild(s);};
addEventListener('DOMContentLoaded',w.lektoFit);addEventListener('load',w.lektoFit);addEventListener('resize',w.lektoFit);}
w.lektoFit();})(%2))JS")
        .arg(literal(QStringLiteral(
                 "html,body{min-width:0!important}"
                 "body{overflow-wrap:break-word!important}"
                 "body *{max-width:100%!important;min-width:0!important;box-sizing:border-box!important}"
                 // A picture not loaded (pure mode) shows its place at the
                 // size the page gave it; the box shrinks, the place is cut.
                 "img,video{height:auto!important;overflow:clip!important}"
                 "pre{white-space:pre-wrap!important}")),
             QString::number(zoom));
}

QString addStyleSheet(const QString &css, const QString &id)
{
    return QStringLiteral("(function(c,i){function put(r){var s=document.createElement('style');s.textContent=c;"
                          "if(i)s.id=i;r.appendChild(s);}var e=document.documentElement;if(e){put(e);return;}"
                          "new MutationObserver(function(m,o){var r=document.documentElement;"
                          "if(r){o.disconnect();put(r);}}).observe(document,{childList:true});})(%1,%2);")
        .arg(literal(css), literal(id));
}

QString scrollTo(double x, double y)
{
    return QStringLiteral("window.scrollTo(%1,%2)").arg(x).arg(y);
}

} // namespace Scripts
