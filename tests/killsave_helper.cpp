// Helper of scripts/killsave.sh: a history of 20,000 entries saved over and
// over, to be killed at any moment, and the check of the file left.
//   killsave_helper make DIR    the history (and a copy to compare with)
//   killsave_helper loop DIR    save it forever, one entry more and less by turns
//   killsave_helper check DIR   exit 0: the old whole, 10: the new whole, 1: neither
#include "lektohistory.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QDir>
#include <QtCore/QFile>

#include <cstdio>
#include <cstring>

namespace {

constexpr int kEntries = 20000;
constexpr int kSetAside = 10; // in the second list, for its count in the file
const QString kExtra = QStringLiteral("http://extra.test/book/1.html");

QString historyFile(const QString &dir)
{
    return QDir(dir).filePath(QString::fromLatin1(TLektoHistory::kFileName));
}

QString referenceFile(const QString &dir)
{
    return QDir(dir).filePath(QStringLiteral("reference.lkt"));
}

bool sameRecord(const THisRecord &a, const THisRecord &b)
{
    return std::memcmp(&a, &b, sizeof a) == 0;
}

bool sameList(const THisList &a, size_t from, const THisList &b)
{
    if (a.size() != b.size() + from)
        return false;
    for (size_t i = 0; i < b.size(); ++i)
        if (!sameRecord(*a[from + i], *b[i]))
            return false;
    return true;
}

int make(const QString &dir)
{
    QFile::remove(historyFile(dir));
    TLektoHistory h(historyFile(dir));
    for (int i = 0; i < kEntries; ++i)
        h.AddHis(QStringLiteral("http://site%1.test/book/%2/chapter-%3.html").arg(i % 97).arg(i).arg(i * 7),
                 QStringLiteral("第%1本书 第%2章").arg(i).arg(i % 300));
    for (int i = 0; i < kSetAside; ++i)
        h.ToBm2(i * 3);
    h.SaveHis();
    QFile::remove(referenceFile(dir));
    return QFile::copy(historyFile(dir), referenceFile(dir)) ? 0 : 2;
}

[[noreturn]] void loop(const QString &dir)
{
    TLektoHistory h(historyFile(dir));
    std::printf("saving\n");
    std::fflush(stdout);
    for (;;) {
        h.AddHis(kExtra, QStringLiteral("多出的一本"));
        h.SaveHis();
        h.DelHis(0);
        h.SaveHis();
    }
}

int check(const QString &dir)
{
    bool complained = false;
    const auto sink = [&](const QString &, const QString &text) {
        complained = true;
        std::fprintf(stderr, "%s\n", qPrintable(text));
    };
    const TLektoHistory left(historyFile(dir), sink);
    const TLektoHistory reference(referenceFile(dir), sink);
    if (complained || reference.Bookmarks().size() + reference.L2().size() != size_t(kEntries))
        return 1;
    if (!sameList(left.L2(), 0, reference.L2()))
        return 1;
    if (sameList(left.Bookmarks(), 0, reference.Bookmarks()))
        return 0;
    // The new whole: the extra book in front of all the others.
    QByteArray bookPath, pageName;
    TLektoHistory::SplitAddress(kExtra, bookPath, pageName);
    if (sameList(left.Bookmarks(), 1, reference.Bookmarks())
        && fieldBytes(left.Bookmarks().front()->BookPath) == bookPath)
        return 10;
    return 1;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s make|loop|check DIR\n", argv[0]);
        return 2;
    }
    const QString dir = QString::fromLocal8Bit(argv[2]);
    try {
        if (!std::strcmp(argv[1], "make"))
            return make(dir);
        if (!std::strcmp(argv[1], "loop"))
            loop(dir);
        if (!std::strcmp(argv[1], "check"))
            return check(dir);
    } catch (const std::exception &e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    return 2;
}
