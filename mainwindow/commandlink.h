#pragma once

#include <QtCore/QString>

// The command addresses ("rc:...") of the start page and the address box.
enum class TCommandKind {
    NotCommand, // not an "rc:" address: navigate as usual
    Unknown,    // an "rc:" address that names no command: nothing happens
    Open, ClearBm, ReadMe, GoStart, xWeiyue, xYiyue, Weiyuetiqian,
    Del, L2Del, Yangfei, Jianzhu, FJianzhu, Yiyue, FYiyue, Shuqian,
    CheckNewChapters, // asks now whether the books have new chapters
    ReadingSettings, // the reading view's settings panel (help page)
};

struct TCommandLink {
    TCommandKind kind = TCommandKind::NotCommand;
    QString digits;  // indexed commands: the position as written
    QString address; // "rc:Open_": the address after the keyword, with its own letters

    // The list position; a number too large for a 32-bit integer is an error.
    int index() const;
};

TCommandLink ParseCommandLink(const QString &url);
