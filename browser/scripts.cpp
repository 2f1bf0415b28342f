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

const QString kNoObjectsPolicy = QStringLiteral(
    "new MutationObserver(function(m,o){var h=document.head;if(!h)return;o.disconnect();"
    "var c=document.createElement('meta');c.httpEquiv='Content-Security-Policy';"
    "c.content=\"object-src 'none'\";h.insertBefore(c,h.firstChild);})"
    ".observe(document,{childList:true,subtree:true});");

const QString kRowsSetup = QStringLiteral("if(window.lektoRows)lektoRows.setup();");
const QString kShowAllRows = QStringLiteral("if(window.lektoRows)lektoRows.all();");

QString rowsAsNeeded(const QString &rowSelector, int first, int rowHeight)
{
    // While the document arrives, one rule holds back every row past the
    // first of its list. Once it is in, each list gets its own rule, and a
    // block of the held rows' height after it so that the scroll bar stands
    // for the whole list; as the reader scrolls towards them (or jumps, or
    // drags the bar) the rows up to there and a little beyond are put in.
    // Off-screen rows then lie at the same estimated height, so nothing on
    // screen moves. What needs every row at once gets them all: the keyboard
    // walking the links (Tab), selecting or finding the page's text, printing.
    return Scripts::addStyleSheet(QStringLiteral("%1:nth-child(n+%2){display:none}").arg(rowSelector).arg(first + 1),
                                  QStringLiteral("lekto-rows"))
        + QStringLiteral(R"JS((function(sel,first,h){
var groups=null,style=null,done=false,ahead=200,watch=null;
function render(){var t='';if(watch)watch.disconnect();
for(var i=0;i<groups.length;i++){var g=groups[i];if(g.shown>=g.len)continue;
var p='[data-lekto-rows="'+i+'"]';t+=p+'>'+sel+':nth-child(n+'+(g.shown+1)+'){display:none}'
+p+'::after{content:"";display:block;height:'+(g.len-g.shown)*h+'px}';
if(watch)watch.observe(g.el.children[g.shown-1]);}
if(t){style.textContent=t;return;}
done=true;style.remove();style=null;removeEventListener('scroll',need);removeEventListener('resize',need);}
function setup(){if(groups)return;groups=[];style=document.getElementById('lekto-rows');
if(!style){done=true;return;}
var starts=document.querySelectorAll(sel+':nth-child('+(first+1)+')');
for(var i=0;i<starts.length;i++){var p=starts[i].parentNode;p.setAttribute('data-lekto-rows',i);
groups.push({el:p,shown:first,len:p.children.length});}
// Near the last row shown, whatever the zoom does to the measures below.
watch=new IntersectionObserver(function(es){var more=false;es.forEach(function(e){if(!e.isIntersecting)return;
groups.forEach(function(g){if(g.shown<g.len&&g.el.children[g.shown-1]===e.target){g.shown=Math.min(g.len,g.shown+ahead);more=true;}});});
if(more)render();},{rootMargin:'200% 0px'});
render();if(done)return;
addEventListener('scroll',need,{passive:true});addEventListener('resize',need);need();}
// Element boxes are measured without the document's own zoom (the
// engine's own zoom is in every measure alike); rows put in below the
// view lie at h each.
function need(){if(done||!groups)return;var z=parseFloat(getComputedStyle(document.documentElement).zoom)||1;
var want=3*innerHeight/z,more=false;
for(var i=0;i<groups.length;i++){var g=groups[i];if(g.shown>=g.len)continue;
var b=g.el.children[g.shown-1].getBoundingClientRect().bottom;if(b>=want)break;
g.shown=Math.min(g.len,g.shown+Math.ceil((want-b)/h)+ahead);more=true;if(g.shown<g.len)break;}
if(more)render();}
function all(){setup();if(done)return;for(var i=0;i<groups.length;i++)groups[i].shown=groups[i].len;render();}
window.lektoRows={setup:setup,all:all};
addEventListener('DOMContentLoaded',setup);
addEventListener('beforeprint',all);
addEventListener('keydown',function(e){var k=e.key.toLowerCase();
if(k==='tab'||((e.ctrlKey||e.metaKey)&&(k==='a'||k==='f'||k==='p')))all();},true);
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
