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

const QString kParsingStyleId = QStringLiteral("lekto-parsing-style");

const QString kDropParsingStyle =
    QStringLiteral("(function(){var s=document.getElementById('lekto-parsing-style');if(s)s.remove();})();");

const QString kDocumentState = QStringLiteral("[location.href,") + kTitle + QStringLiteral("]");

QString documentState(const QString &webPageScript)
{
    return QStringLiteral("[location.href,") + kTitle
        + QStringLiteral(",location.protocol==='lekto:'?null:(function(){try{return ") + webPageScript
        + QStringLiteral(";}catch(e){return null;}})()]");
}

QString completionState(const QString &webPageScript)
{
    return QStringLiteral("if(location.protocol==='lekto:'){") + kDropParsingStyle + QStringLiteral("}")
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
