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
