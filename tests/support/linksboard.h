#pragma once

// A custom links board on a folder of its own, for tests: the system's
// browser, the file dialog and the error report are scripted and recorded.
#include "dialogs.h"
#include "filechoice.h"
#include "filefaults.h"
#include "lektolinks.h"
#include "timage.h"

#include <QtCore/QBuffer>
#include <QtCore/QDir>
#include <QtCore/QTemporaryDir>
#include <QtGui/QImageWriter>
#include <QtTest/QtTest>
#include <QtWidgets/QLineEdit>

#include <memory>

inline QByteArray encodeImage(const QImage &image, const char *format, int quality = 80)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    writer.setQuality(quality);
    writer.write(image);
    return bytes;
}

inline QByteArray jpeg(int width, int height, QColor colour = Qt::darkCyan)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(colour);
    return encodeImage(image, "jpg");
}

// The property strip is open, whether or not the board is shown.
inline bool propertyOpen(const TFLektoLinks &w)
{
    return w.pProperty->isVisibleTo(&w);
}

inline QByteArray crlfLines(const QStringList &lines)
{
    QByteArray out;
    for (const QString &l : lines)
        out += l.toLatin1() + "\r\n";
    return out;
}

inline QStringList numbered(int count)
{
    QStringList lines;
    for (int i = 1; i <= count; ++i)
        lines << QStringLiteral("http://host/%1").arg(i);
    return lines;
}

// A board on a links folder of its own, the browser and the dialogs recorded.
struct Board {
    QTemporaryDir dir;
    QStringList errors, opened;
    QStringList fileAnswers; // for "设置图片....": a path, or empty for cancel
    std::unique_ptr<TFLektoLinks> w;
    QPixmap placeholder{170, 100};
    decltype(Dialogs::errorReport) FErrorReport = Dialogs::errorReport;
    decltype(FileChoice::openFile) FOpenFile = FileChoice::openFile;

    Board()
    {
        placeholder.fill(Qt::yellow);
        Dialogs::errorReport = [this](const QString &t) { errors << t; };
        FileChoice::openFile = [this](QWidget *, const QString &) {
            return fileAnswers.isEmpty() ? QString() : fileAnswers.takeFirst();
        };
    }
    ~Board()
    {
        w.reset();
        Dialogs::errorReport = FErrorReport;
        FileChoice::openFile = FOpenFile;
    }

    QString linksDir() const { return dir.filePath(QStringLiteral("CustomLinks")); }
    QString inLinks(const QString &name) const { return QDir(linksDir()).filePath(name); }
    void makeFolder() const { QDir().mkpath(linksDir()); }

    TFLektoLinks &open()
    {
        w = std::make_unique<TFLektoLinks>(linksDir(), placeholder, [this](const QString &u) { opened << u; });
        return *w;
    }
    TImage *tile(int number) const { return w->TileList.at(number - 1); }
    bool hasPlaceholder(int number) const
    {
        return tile(number)->parentWidget()->findChildren<TImage *>().size() == 2;
    }
    // Right click on the tile, the address typed, Enter.
    void saveAddress(int number, const QString &text)
    {
        QTest::mouseClick(tile(number), Qt::RightButton);
        w->Edit1->setText(text);
        QTest::keyClick(w->Edit1, Qt::Key_Return);
    }
};

