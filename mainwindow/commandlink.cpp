#include "commandlink.h"

#include "lektoerror.h"

#include <array>

namespace {

// Only the letters A to Z are lowered, nothing else.
QString asciiLower(const QString &s)
{
    QString out = s;
    for (QChar &c : out)
        if (c >= QLatin1Char('A') && c <= QLatin1Char('Z'))
            c = QChar(c.unicode() + 32);
    return out;
}

bool allDigits(QStringView s)
{
    for (const QChar c : s)
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
    return true;
}

struct Word {
    const char *keyword;
    TCommandKind kind;
};

// In the order they are tested.
constexpr std::array<Word, 8> kExact = {{
    {"clearbm", TCommandKind::ClearBm},
    {"readme", TCommandKind::ReadMe},
    {"gostart", TCommandKind::GoStart},
    {"xweiyue", TCommandKind::xWeiyue},
    {"xyiyue", TCommandKind::xYiyue},
    {"weiyuetiqian", TCommandKind::Weiyuetiqian},
    {"gengxin", TCommandKind::CheckNewChapters},
    {"readingsettings", TCommandKind::ReadingSettings},
}};
constexpr std::array<Word, 8> kIndexed = {{
    {"del", TCommandKind::Del},
    {"l2del", TCommandKind::L2Del},
    {"yangfei", TCommandKind::Yangfei},
    {"jianzhu", TCommandKind::Jianzhu},
    {"fjianzhu", TCommandKind::FJianzhu},
    {"yiyue", TCommandKind::Yiyue},
    {"fyiyue", TCommandKind::FYiyue},
    {"shuqian", TCommandKind::Shuqian},
}};

} // namespace

int TCommandLink::index() const
{
    bool ok = false;
    const int n = digits.toInt(&ok, 10);
    if (!ok)
        throw ELektoError(QStringLiteral("“%1”不是有效的整数值").arg(digits));
    return n;
}

TCommandLink ParseCommandLink(const QString &url)
{
    TCommandLink link;
    const QString lowered = asciiLower(url);
    if (!lowered.startsWith(QLatin1String("rc:")))
        return link;
    link.kind = TCommandKind::Unknown;
    const QString text = lowered.mid(3);

    const QLatin1String open("open_");
    if (text.size() > open.size() && text.startsWith(open)) {
        link.kind = TCommandKind::Open;
        link.address = url.mid(3 + open.size());
        return link;
    }
    for (const auto &w : kExact) {
        if (text == QLatin1String(w.keyword)) {
            link.kind = w.kind;
            return link;
        }
    }
    for (const auto &w : kIndexed) {
        const QLatin1String key(w.keyword);
        if (text.size() > key.size() && text.startsWith(key) && allDigits(QStringView(text).mid(key.size()))) {
            link.kind = w.kind;
            link.digits = text.mid(key.size());
            return link;
        }
    }
    return link;
}
