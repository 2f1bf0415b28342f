#pragma once

#include "hisrecord.h"

#include <QtCore/QString>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

using THisList = std::vector<std::unique_ptr<THisRecord>>;

// The reading history: the bookmark list (one entry per book, the latest read
// first) and the fattening list L2 (books set aside), kept in one file.
class TLektoHistory
{
public:
    // Shows a message box with an OK button (caption, text).
    using TMessageSink = std::function<void(const QString &caption, const QString &text)>;
    // The note input box: answers the confirmed text, nothing when cancelled.
    using TNoteInput = std::function<std::optional<QString>(const QString &proposed)>;

    static constexpr const char *kFileName = "LektoBookmarks.lkt";

    // Reads the history file at fileName; a file it cannot place is reported
    // through showMessage and kept aside at the next save.
    explicit TLektoHistory(const QString &fileName, TMessageSink showMessage = {});
    TLektoHistory(const TLektoHistory &) = delete;
    TLektoHistory &operator=(const TLektoHistory &) = delete;

    const QString &fn() const { return FFileName; }
    const THisList &Bookmarks() const { return FList; }
    const THisList &L2() const { return FL2; }
    int Count() const { return int(FList.size()); }

    void SetNoteInput(TNoteInput input) { FNoteInput = std::move(input); }

    void SaveHis();
    void AddHis(const QString &url, const QString &title);
    // Records a book's contents page: for a book without an entry, as AddHis
    // does; an entry at another page (the chapter the reader reached) is left
    // as it is. Answers whether anything changed.
    bool AddContentsHis(const QString &url, const QString &title);
    void DelHis(int idx);
    void DelBm2(int idx);
    void ToBm2(int idx);
    void ToShuqian(int idx);
    void BmYiyue(int idx);
    void Bm2Yiyue(int idx);
    void BmJianzhu(bool dL2, int idx);
    void xWeiyue(unsigned char sy);
    void weiyuetiqian();
    void ClearBM();
    QString GetHisHtmCode() const;

    // Where an unreadable file is kept before the first save replaces it;
    // empty when there is none.
    const QString &BackupFileName() const { return FBackupName; }

    // The address split of AddHis, in stored form.
    static void SplitAddress(const QString &url, QByteArray &bookPath, QByteArray &pageName);

private:
    struct TFound {
        THisList *list = nullptr;
        THisList::iterator at;
        bool adopted = false; // kept under its directory before: takes the new key
    };
    // The entry of url's book, in either list; the split in stored form.
    TFound FindBook(const QString &url, QByteArray &bookPath, QByteArray &pageName);
    void Record(const QString &url, const QString &title, bool contents, bool &changed);
    void LoadHis();
    bool ReadFile(class QFile &file);
    void KeepDamagedFile();
    static QString FreeBackupName(const QString &fileName);
    static void CheckIndex(const THisList &list, int idx);

    QString FFileName;
    THisList FList;
    THisList FL2;
    TMessageSink FShowMessage;
    TNoteInput FNoteInput;
    bool FBackupPending = false;
    bool FBackupByRename = false; // the file could not be read, so it cannot be copied
    QString FBackupName;
};
