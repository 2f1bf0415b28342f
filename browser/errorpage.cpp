#include "errorpage.h"

namespace ErrorPage {

QString Reason(Domain domain, int code)
{
    switch (domain) {
    case Domain::NotAnAddress:
        return QStringLiteral("这不是一个有效的网址。");
    case Domain::Certificate:
        return QStringLiteral("网站的安全证书有问题，连接不安全。");
    case Domain::Dns:
        return QStringLiteral("找不到该网站的服务器（网址中的域名无法解析）。");
    default:
        break;
    }
    // Chromium's network error numbers.
    switch (code) {
    case -102: return QStringLiteral("服务器拒绝了连接。");
    case -105:
    case -137: return QStringLiteral("找不到该网站的服务器（网址中的域名无法解析）。");
    case -106: return QStringLiteral("电脑没有连接到网络。");
    case -7:
    case -118: return QStringLiteral("连接超时，服务器没有及时响应。");
    case -100:
    case -101: return QStringLiteral("连接被服务器中断。");
    case -324: return QStringLiteral("服务器没有返回任何数据。");
    case -109: return QStringLiteral("无法访问该服务器的地址。");
    case -310: return QStringLiteral("网页的重定向次数过多。");
    case -300:
    case -301:
    case -302: return QStringLiteral("这不是一个可以打开的网址。");
    case -10:
    case -20:
    case -27: return QStringLiteral("访问被拒绝。");
    case -312: return QStringLiteral("出于安全原因，这个端口不能访问。");
    default: break;
    }
    if (domain == Domain::Http && code > 0)
        return QStringLiteral("服务器返回了错误（HTTP %1）。").arg(code);
    return QStringLiteral("网络错误（错误代码 %1）。").arg(code);
}

QString Html(const QString &address, const QString &reason, bool retryHelps, const QUrl &search)
{
    return QStringLiteral("<!DOCTYPE html><html>") + Inner(address, reason, retryHelps, search) + QStringLiteral("</html>");
}

QString Inner(const QString &address, const QString &reason, bool retryHelps, const QUrl &search)
{
    const QString advice = retryHelps ? QStringLiteral("请检查网址和网络连接，然后按“刷新”重试。")
                                      : QStringLiteral("请输入或粘贴完整的网址，例如 http://www.example.com/1.html 。");
    const QString offer = search.isValid() && !search.isEmpty()
        ? QStringLiteral("<p><a href=\"%1\">搜索“%2”</a></p>")
              .arg(search.toString(QUrl::FullyEncoded).toHtmlEscaped(), address.trimmed().toHtmlEscaped())
        : QString();
    return QStringLiteral("<head><meta charset=\"utf-8\"><title>%1</title>"
                          "<style>body{font-family:sans-serif;margin:3em auto;max-width:40em;padding:0 1em;color:#333}"
                          "h2{font-weight:normal;color:#555}.a{word-break:break-all;color:#000}</style></head>"
                          "<body><h2>%1</h2><p>网址：<span class=\"a\">%2</span></p><p>原因：%3</p>"
                          "<p>%4</p>%5</body>")
        .arg(kTitle, address.toHtmlEscaped(), reason.toHtmlEscaped(), advice, offer);
}

} // namespace ErrorPage
