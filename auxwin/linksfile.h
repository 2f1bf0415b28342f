#pragma once

#include <QtCore/QByteArray>
#include <QtCore/QList>
#include <QtCore/QString>
#include <QtCore/QStringList>

// How "links.txt" was written, so that a save writes it the same way.
enum class TLinksEncoding {
    Ansi,    // no mark: what a Chinese Windows system writes (GBK), read as GB18030
    Utf8,    // no mark, but the bytes are UTF-8 text with characters past U+07FF
    Utf8Bom, // EF BB BF
    Utf16LE, // FF FE
    Utf16BE, // FE FF
};

// The lines of "links.txt", one address per tile, and how to write them back.
// Lines end with CR LF, a lone CR or a lone LF on reading and with CR LF on
// writing. A line left as it was read is written with the bytes it was read
// from, so bytes the encoding cannot represent survive a save of another line,
// and half a character at the end of a file cut short stays at its end. A
// UTF-8 file whose edits leave nothing that tells it from GB18030 gets a mark.
class TLinksFile
{
public:
    static TLinksFile decode(const QByteArray &bytes);
    QByteArray encode() const;

    // A file that cannot be read is an error (ELektoError); a missing one is
    // empty, in the encoding of a new file.
    static TLinksFile load(const QString &path);
    // Atomic: on any failure (ELektoError) the previous file stays whole.
    void save(const QString &path) const;

    TLinksEncoding encoding() const { return FEncoding; }
    int count() const { return int(FLines.size()); }
    const QStringList &lines() const { return FLines; }
    QString line(int index) const { return FLines.value(index); }
    // A line break inside would split the line and shift every tile after it,
    // so each one is stored as a space.
    void setLine(int index, const QString &text);
    void padTo(int count);

private:
    TLinksEncoding FEncoding = TLinksEncoding::Ansi;
    QStringList FLines;
    QList<QByteArray> FReadBytes; // the bytes each line was read from
    QStringList FReadLines;       // and what they decoded to
    QByteArray FTail;             // half a character the file ended in
};

// Writes bytes to path through a temporary file put in its place only when
// complete and checked; throws ELektoError naming the file otherwise.
void WriteFileAtomically(const QString &path, const QByteArray &bytes);
