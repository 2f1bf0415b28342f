#pragma once

#include <QtCore/QString>
#include <QtCore/QUrl>

// The file side of a download: the name proposed to the reader, and the
// file of our own that the engine writes into until the download is whole.
namespace DownloadFile {

// The name to propose for a file the engine hands over, from the name the
// engine made of the server's answer. The engine reads a raw 8-bit name
// (Content-Disposition: attachment; filename="<GBK bytes>", as Chinese sites
// send it) one byte per character; those bytes are read again as UTF-8 or
// GB18030. Folders are dropped, characters that file systems refuse become
// "_", and the name fits in 255 bytes. Without a name, the address's last
// part stands in, and without that "下载".
QString ProposedName(const QString &engineName, const QUrl &url);

// A reader's name made safe to write in a folder (no folders, no control
// characters, nothing invisible or reordering, not hidden, no device name,
// at most 255 bytes in UTF-8, extension kept).
QString CleanName(const QString &name);

// Whether the name is taken: by a file, a folder, a symbolic link (wherever
// it points, to nothing too) or anything else a folder can hold.
bool Exists(const QString &path);
// Whether a folder itself is at the name; a link to one is not.
bool IsFolder(const QString &path);

// The first of "name (1).ext", "name (2).ext"... that is not taken.
QString FreeName(const QString &path);

struct TResult {
    QString path;  // the file now in place
    QString error; // in the reader's words; empty on success
    bool ok() const { return error.isEmpty(); }
};

// Reserves an empty file beside finalPath, under a name of its own, for the
// download to be written into: the final name is never seen half written.
TResult Reserve(const QString &finalPath);

// Gives the finished part file its final name. An existing file there is
// replaced only when the reader agreed (replace); otherwise the download
// takes the next free name. Nothing is ever written through a link at the
// name: replaced, the link itself gives way to the book. On failure the part file stays where it is and
// the error says so: a finished download is never thrown away.
TResult Finish(const QString &partPath, const QString &finalPath, bool replace);

// Removes what a cancelled or failed download left: the part file, and the
// engine's own intermediate file beside it.
void Discard(const QString &partPath);

} // namespace DownloadFile
