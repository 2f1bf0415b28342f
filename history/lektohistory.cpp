#include "lektohistory.h"

#include "bookkey.h"
#include "lektoerror.h"
#include "textcodec.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QFile>
#include <QtCore/QFileInfo>
#include <QtCore/QSaveFile>
#include <QtCore/QtEndian>

#include <algorithm>
#include <cstring>

namespace {

const QString kErrorCaption = QStringLiteral("错误！");
const QString kVersionText = QStringLiteral("数据文件版本无法识别！");

bool sameBookPath(const THisRecord &r, const QByteArray &bookPath)
{
    return r.BookPath[0] == bookPath.size() && std::memcmp(r.BookPath + 1, bookPath.constData(), size_t(bookPath.size())) == 0;
}

void updateVisit(THisRecord &r, const QByteArray &pageName, const QString &title)
{
    setFieldBytes(r.PageName, pageName);
    r.setVisitTime(toDayCount(QDateTime::currentDateTime()));
    setFieldText(r.Title, title);
    r.IsRead = 1;
}

} // namespace

TLektoHistory::TLektoHistory(const QString &fileName, TMessageSink showMessage)
    : FFileName(fileName), FShowMessage(std::move(showMessage))
{
    LoadHis();
}

void TLektoHistory::CheckIndex(const THisList &list, int idx)
{
    if (idx < 0 || size_t(idx) >= list.size())
        throw ELektoError(QStringLiteral("列表索引越界 (%1)").arg(idx));
}

void TLektoHistory::LoadHis()
{
    QFile file(FFileName);
    if (!file.exists())
        return;
    if (!file.open(QIODevice::ReadOnly)) {
        // Unreadable now is not unknown. A file cannot be copied without
        // reading it, but it can still be moved aside whole before a save
        // takes its place. Something that is not a file (a folder of that
        // name) is not ours to move: saves will say that they cannot write.
        QString text = QStringLiteral("无法读取数据文件：%1\n%2").arg(FFileName, file.errorString());
        if (QFileInfo(FFileName).isFile()) {
            FBackupPending = true;
            FBackupByRename = true;
            // The reader is told where the old history goes.
            text += QStringLiteral("\n保存历史时，它将被改名保留为 %1。").arg(FreeBackupName(FFileName));
        }
        if (FShowMessage)
            FShowMessage(kErrorCaption, text);
        return;
    }
    if (!ReadFile(file)) {
        FList.clear();
        FL2.clear();
        FBackupPending = true;
        if (FShowMessage)
            FShowMessage(kErrorCaption, kVersionText);
    }
}

// False when the file is not one this program can place record by record:
// an unknown format byte, or a length or count that does not fit. Nothing is
// ever read past the end, and no entry is made from missing bytes.
bool TLektoHistory::ReadFile(QFile &file)
{
    const qint64 length = file.size();
    char format = 0;
    if (length < 1 || !file.getChar(&format) || format != 1)
        return false;

    qint64 n1 = 0, n2 = 0;
    if (length % kHisRecordSize == 1) {
        n1 = length / kHisRecordSize;
    } else if (length % kHisRecordSize == 5) {
        unsigned char count[4];
        if (file.read(reinterpret_cast<char *>(count), 4) != 4)
            return false;
        n2 = qFromLittleEndian<qint32>(count);
        const qint64 records = (length - 5) / kHisRecordSize;
        if (n2 <= 0 || n2 > records)
            return false;
        n1 = records - n2;
    } else {
        return false;
    }

    auto readInto = [&file](THisList &list, qint64 n) {
        list.reserve(size_t(n));
        for (qint64 i = 0; i < n; ++i) {
            auto r = std::make_unique<THisRecord>();
            if (file.read(reinterpret_cast<char *>(r.get()), kHisRecordSize) != kHisRecordSize)
                return false;
            list.push_back(std::move(r));
        }
        return true;
    };
    return readInto(FL2, n2) && readInto(FList, n1);
}

QString TLektoHistory::FreeBackupName(const QString &fileName)
{
    // A name no earlier backup holds: backups are never overwritten.
    QString name = fileName + QStringLiteral(".damaged");
    for (int i = 1; QFileInfo::exists(name); ++i)
        name = fileName + QStringLiteral(".damaged.%1").arg(i);
    return name;
}

void TLektoHistory::KeepDamagedFile()
{
    if (!FBackupPending)
        return;
    if (QFileInfo::exists(FFileName)) {
        const QString name = FreeBackupName(FFileName);
        const bool kept = FBackupByRename ? QFile::rename(FFileName, name) : QFile::copy(FFileName, name);
        if (!kept)
            throw ELektoError(QStringLiteral("无法备份无法识别的数据文件 %1，历史记录未保存。").arg(FFileName));
        FBackupName = name;
    }
    FBackupPending = false;
}

void TLektoHistory::SaveHis()
{
    KeepDamagedFile();

    if (FList.empty() && FL2.empty()) {
        QFile file(FFileName);
        if (file.exists() && !file.remove())
            throw ELektoError(QStringLiteral("无法删除历史文件 %1：%2").arg(FFileName, file.errorString()));
        return;
    }

    // Written beside the old file and put in its place only when complete:
    // a full disk or a crash leaves the previous history as it was.
    // Unbuffered, and every write checked: through its buffer, Qt 6.4 takes a
    // short write to a full disk for success and commits a truncated file.
    QSaveFile file(FFileName);
    bool ok = file.open(QIODevice::WriteOnly | QIODevice::Unbuffered);
    if (ok) {
        constexpr qsizetype kChunk = 1024 * kHisRecordSize;
        QByteArray chunk;
        chunk.reserve(kChunk + kHisRecordSize);
        auto flushChunk = [&] {
            ok = ok && file.write(chunk) == chunk.size();
            chunk.clear();
        };
        chunk.append('\1');
        if (!FL2.empty()) {
            unsigned char count[4];
            qToLittleEndian(qint32(FL2.size()), count);
            chunk.append(reinterpret_cast<const char *>(count), 4);
        }
        for (const THisList *list : {&FL2, &FList}) {
            for (const auto &r : *list) {
                chunk.append(reinterpret_cast<const char *>(r.get()), kHisRecordSize);
                if (chunk.size() >= kChunk)
                    flushChunk();
            }
        }
        flushChunk();
        ok = ok && file.commit();
    }
    if (!ok) {
        const QString reason = file.errorString();
        file.cancelWriting();
        throw ELektoError(QStringLiteral("无法保存历史文件 %1：%2").arg(FFileName, reason));
    }
}

void TLektoHistory::SplitAddress(const QString &url, QByteArray &bookPath, QByteArray &pageName)
{
    const BookKey::TSplit split = BookKey::Split(url);
    bookPath = HistoryText::encode(split.book);
    pageName = HistoryText::encode(split.page);
}

TLektoHistory::TFound TLektoHistory::FindBook(const QString &url, QByteArray &bookPath, QByteArray &pageName)
{
    SplitAddress(url, bookPath, pageName);
    for (THisList *list : {&FL2, &FList}) {
        auto it = std::find_if(list->begin(), list->end(), [&](const auto &r) { return sameBookPath(*r, bookPath); });
        if (it != list->end())
            return {list, it, false};
    }
    // A book named in the query was, before books were told apart by it,
    // kept under its directory with all the books of its script: the entry
    // there whose last page is of this book is this book's.
    if (!BookKey::Split(url).byQuery)
        return {};
    const QByteArray directory = HistoryText::encode(BookKey::SplitByDirectory(url).book);
    for (THisList *list : {&FL2, &FList}) {
        for (auto it = list->begin(); it != list->end(); ++it) {
            if (!sameBookPath(**it, directory))
                continue;
            const QString address = fieldText((*it)->BookPath) + QLatin1Char('/') + fieldText((*it)->PageName);
            if (HistoryText::encode(BookKey::Split(QStringLiteral("http://") + address).book) == bookPath)
                return {list, it, true};
        }
    }
    return {};
}

void TLektoHistory::Record(const QString &url, const QString &title, bool contents, bool &changed)
{
    changed = false;
    if (!url.startsWith(QLatin1String("http")))
        return;
    QByteArray bookPath, pageName;
    const TFound found = FindBook(url, bookPath, pageName);
    if (!found.list) {
        auto r = std::make_unique<THisRecord>();
        setFieldBytes(r->BookPath, bookPath);
        updateVisit(*r, pageName, title);
        FList.insert(FList.begin(), std::move(r));
        changed = true;
        return;
    }
    if (contents && fieldBytes((*found.at)->PageName) != pageName)
        return; // the chapter reached stays the book's place
    if (found.adopted)
        setFieldBytes((*found.at)->BookPath, bookPath);
    updateVisit(**found.at, pageName, title);
    if (found.list == &FL2) {
        auto r = std::move(*found.at);
        FL2.erase(found.at);
        FList.insert(FList.begin(), std::move(r));
    } else {
        std::rotate(FList.begin(), found.at, found.at + 1);
    }
    changed = true;
}

void TLektoHistory::AddHis(const QString &url, const QString &title)
{
    bool changed = false;
    Record(url, title, false, changed);
}

bool TLektoHistory::AddContentsHis(const QString &url, const QString &title)
{
    bool changed = false;
    Record(url, title, true, changed);
    return changed;
}

void TLektoHistory::DelHis(int idx)
{
    CheckIndex(FList, idx);
    FList.erase(FList.begin() + idx);
}

void TLektoHistory::DelBm2(int idx)
{
    CheckIndex(FL2, idx);
    FL2.erase(FL2.begin() + idx);
}

void TLektoHistory::ToBm2(int idx)
{
    CheckIndex(FList, idx);
    FL2.push_back(std::move(FList[size_t(idx)]));
    FList.erase(FList.begin() + idx);
}

void TLektoHistory::ToShuqian(int idx)
{
    CheckIndex(FL2, idx);
    FList.push_back(std::move(FL2[size_t(idx)]));
    FL2.erase(FL2.begin() + idx);
}

void TLektoHistory::BmYiyue(int idx)
{
    CheckIndex(FList, idx);
    FList[size_t(idx)]->IsRead = FList[size_t(idx)]->IsRead == 0 ? 1 : 0;
}

void TLektoHistory::Bm2Yiyue(int idx)
{
    CheckIndex(FL2, idx);
    FL2[size_t(idx)]->IsRead = FL2[size_t(idx)]->IsRead == 0 ? 1 : 0;
}

void TLektoHistory::BmJianzhu(bool dL2, int idx)
{
    THisList &list = dL2 ? FL2 : FList;
    CheckIndex(list, idx);
    const THisRecord &r = *list[size_t(idx)];
    const QString proposed = r.Note[0] != 0 ? fieldText(r.Note) : fieldText(r.Title);
    const QByteArray bookPath = fieldBytes(r.BookPath);
    if (!FNoteInput)
        return;
    // The box is modal and runs the event loop: by the time it answers, other
    // commands may have moved or deleted the entry. It is found again by its
    // book, wherever it went; when it is gone, the answer has nowhere to go.
    const std::optional<QString> answer = FNoteInput(proposed);
    if (!answer)
        return; // cancelled: nothing changes
    for (THisList *l : {&FList, &FL2}) {
        auto it = std::find_if(l->begin(), l->end(), [&](const auto &e) { return sameBookPath(*e, bookPath); });
        if (it != l->end()) {
            setFieldText((*it)->Note, *answer);
            return;
        }
    }
}

void TLektoHistory::xWeiyue(unsigned char sy)
{
    for (THisList *list : {&FList, &FL2})
        for (auto &r : *list)
            r->IsRead = sy;
}

void TLektoHistory::weiyuetiqian()
{
    for (THisList *list : {&FList, &FL2})
        std::stable_partition(list->begin(), list->end(), [](const auto &r) { return r->IsRead == 0; });
}

void TLektoHistory::ClearBM()
{
    FList.clear();
    FL2.clear();
}
