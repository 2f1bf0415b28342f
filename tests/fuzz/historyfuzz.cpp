#include "historyfuzz.h"

#include "lektoerror.h"
#include "lektohistory.h"

#include <QtCore/QFile>
#include <QtCore/QTemporaryDir>

#include <cstdlib>

int FuzzHistoryFile(const std::uint8_t *data, std::size_t size)
{
    static QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("LektoBookmarks.lkt"));
    for (const QString &name : QDir(dir.path()).entryList(QDir::Files))
        QFile::remove(dir.filePath(name));
    {
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly))
            std::abort();
        f.write(reinterpret_cast<const char *>(data), qint64(size));
    }

    int messages = 0;
    TLektoHistory h(path, [&](const QString &, const QString &) { ++messages; });
    const size_t loaded = h.Bookmarks().size() + h.L2().size();
    if (messages == 0 && size > 0 && 1 + (h.L2().empty() ? 0 : 4) + loaded * kHisRecordSize != size)
        std::abort(); // a file taken as sound must be read whole
    (void)h.GetHisHtmCode();
    h.AddHis(QStringLiteral("http://host/book/1.html"), QStringLiteral("第一章"));
    if (!h.L2().empty())
        h.ToShuqian(0);
    h.weiyuetiqian();
    h.SaveHis();

    TLektoHistory back(path, [&](const QString &, const QString &) { std::abort(); });
    if (back.Bookmarks().size() + back.L2().size() != h.Bookmarks().size() + h.L2().size())
        std::abort();
    if (messages > 0 && QFile(h.BackupFileName()).size() != qint64(size))
        std::abort(); // the unreadable bytes must be kept
    return 0;
}
