#include "lektolinks.h"

#include "dialogs.h"
#include "filechoice.h"
#include "lektoerror.h"
#include "timage.h"
#include "uifont.h"

#include <QtCore/QBuffer>
#include <QtCore/QDir>
#include <QtCore/QFile>
#include <QtGui/QAction>
#include <QtGui/QGuiApplication>
#include <QtGui/QImageReader>
#include <QtGui/QKeySequence>
#include <QtGui/QScreen>
#include <QtGui/QShortcut>
#include <QtWidgets/QBoxLayout>
#include <QtWidgets/QFrame>
#include <QtWidgets/QGridLayout>
#include <QtWidgets/QLabel>
#include <QtWidgets/QLineEdit>
#include <QtWidgets/QMenu>
#include <QtWidgets/QPushButton>

namespace {

constexpr int kTiles = 16;
constexpr int kTileWidth = 170;

// Windows' file filters ignore letter case; the "*.JPG" of the dialog must
// find the usual lower-case files here too.
const char *const kPictureFilter = "JPG图片 (*.[jJ][pP][gG])";

template <class L>
L *flatLayout(QWidget *on, int margin = 0)
{
    auto *l = new L(on);
    l->setContentsMargins(margin, margin, margin, margin);
    l->setSpacing(0);
    return l;
}

QFrame *band(QWidget *parent, const QString &name, int height)
{
    auto *f = new QFrame(parent);
    f->setObjectName(name);
    f->setFixedHeight(height);
    return f;
}

void addGap(QBoxLayout *l, int width)
{
    l->addSpacing(width);
}

} // namespace

QImage ReadTilePicture(const QByteArray &bytes, const QSize &size)
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    // The tile stretches its picture to fill, so decoding straight to its size
    // shows the same; JPEG then decodes at a fraction of the full size.
    reader.setScaledSize(size);
    return reader.read();
}

QImage ReadTilePicture(const QString &path, const QSize &size)
{
    QImageReader reader(path);
    reader.setDecideFormatFromContent(true); // a tile's file is ".jpg" whatever the picture is
    reader.setScaledSize(size);
    return reader.read();
}

TFLektoLinks::TFLektoLinks(const QString &linksDir, const QPixmap &placeholder,
                           std::function<void(const QString &)> ieOpen, QWidget *parent)
    : QWidget(parent, Qt::Window | Qt::WindowStaysOnTopHint), LinksDir(linksDir), FPlaceholder(placeholder),
      FIEOpen(std::move(ieOpen))
{
    if (!LinksDir.isEmpty() && !LinksDir.endsWith(QLatin1Char('/')))
        LinksDir += QLatin1Char('/');
    buildControls();
    LoadLinks(); // FormCreate
}

QFrame *TFLektoLinks::labelBand(const QString &name, int height, int firstTile)
{
    QFrame *f = band(pBody, name, height);
    // Placed, not laid out: the band is a pixel narrower than its names, and
    // the last name is clipped rather than every one squeezed.
    for (int i = firstTile; i < firstTile + 4; ++i) {
        auto *label = new QLabel(QStringLiteral("Img%1").arg(i + 1), f);
        label->setAlignment(Qt::AlignCenter);
        label->setGeometry(10 + 180 * (i - firstTile), 0, 180, height);
    }
    return f;
}

QFrame *TFLektoLinks::tileRow(const QString &name, int height, int firstTile)
{
    QFrame *f = band(pBody, name, height);
    auto *l = flatLayout<QHBoxLayout>(f);
    for (int i = firstTile; i < firstTile + 4; ++i) {
        addGap(l, 10);
        auto *panel = new QFrame(f);
        panel->setFrameStyle(QFrame::Panel | QFrame::Raised);
        panel->setFixedSize(kTileWidth, height);
        // Inside the bevel a one-pixel border: the picture is 4 pixels smaller.
        auto *grid = flatLayout<QGridLayout>(panel, 1);
        auto *tile = new TImage(panel, i);
        tile->setObjectName(QStringLiteral("Img%1").arg(i + 1));
        tile->setFixedSize(kTileWidth - 4, height - 4);
        tile->SetStretch(true);
        tile->setCursor(Qt::PointingHandCursor);
        grid->addWidget(tile, 0, 0);
        l->addWidget(panel);
        connect(tile, &TImage::clicked, this, [this, tile] { Dialogs::guarded([&] { ImgOnClick(tile); }); });
        connect(tile, &TImage::mouseUp, this,
                [this, tile](Qt::MouseButton b) { Dialogs::guarded([&] { Img1MouseUp(tile, b); }); });
        TileList << tile;
    }
    l->addStretch(1);
    return f;
}

void TFLektoLinks::buildControls()
{
    setFont(UiFont(11));
    setWindowTitle(QStringLiteral("自定义链接——右击图片可设置 新的图片和链接"));
    setBackgroundRole(QPalette::Button);
    setAutoFillBackground(true);

    setFixedSize(735, 521); // the window fits its content
    auto *outer = flatLayout<QVBoxLayout>(this);
    pBody = new QFrame(this);
    pBody->setObjectName(QStringLiteral("pBody"));
    pBody->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    pBody->setFixedSize(735, 521);
    outer->addWidget(pBody);
    auto *body = flatLayout<QVBoxLayout>(pBody, 2); // inside the bevel, a 2-pixel border

    Panel40 = labelBand(QStringLiteral("Panel40"), 20, 0);
    Panel1 = tileRow(QStringLiteral("Panel1"), 102, 0);
    Panel21 = labelBand(QStringLiteral("Panel21"), 15, 4);
    Panel31 = tileRow(QStringLiteral("Panel31"), 100, 4);
    Panel20 = labelBand(QStringLiteral("Panel20"), 15, 8);
    Panel22 = tileRow(QStringLiteral("Panel22"), 100, 8);
    Panel41 = labelBand(QStringLiteral("Panel41"), 15, 12);
    Panel11 = tileRow(QStringLiteral("Panel11"), 100, 12);
    for (QFrame *f : {Panel40, Panel1, Panel21, Panel31, Panel20, Panel22, Panel41, Panel11})
        body->addWidget(f);
    body->addStretch(1);

    pProperty = band(pBody, QStringLiteral("pProperty"), 30);
    pProperty->setFrameStyle(QFrame::Box | QFrame::Sunken); // lowered outside, raised inside
    auto *prop = flatLayout<QHBoxLayout>(pProperty); // the frame is the two bevels
    Button2 = new QPushButton(QStringLiteral("删除图片"), pProperty);
    Button2->setFixedWidth(64);
    Button1 = new QPushButton(QStringLiteral("设置图片...."), pProperty);
    Button1->setFixedWidth(75);
    p1 = new QLabel(pProperty);
    p1->setAlignment(Qt::AlignCenter);
    p1->setFixedWidth(80);
    Edit1 = new QLineEdit(pProperty);
    BtnOk = new QPushButton(QStringLiteral("保存"), pProperty);
    BtnOk->setFixedWidth(75);
    for (QWidget *w : std::initializer_list<QWidget *>{Button2, Button1, p1, Edit1, BtnOk}) {
        w->setSizePolicy(w == Edit1 ? QSizePolicy::Expanding : QSizePolicy::Fixed, QSizePolicy::Expanding);
        prop->addWidget(w, w == Edit1 ? 1 : 0);
    }
    pProperty->setVisible(false);
    body->addWidget(pProperty);
    Panel4 = band(pBody, QStringLiteral("Panel4"), 10);
    body->addWidget(Panel4);

    PopupMenu2 = new QMenu(this);
    N2 = PopupMenu2->addAction(QStringLiteral("粘贴并保存"));
    Edit1->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(Edit1, &QWidget::customContextMenuRequested, this,
            [this](const QPoint &at) { PopupMenu2->popup(Edit1->mapToGlobal(at)); });
    connect(N2, &QAction::triggered, this, [this] { Dialogs::guarded([this] { N2Click(); }); });

    connect(BtnOk, &QPushButton::clicked, this, [this] { Dialogs::guarded([this] { BtnOkClick(); }); });
    connect(Button1, &QPushButton::clicked, this, [this] { Dialogs::guarded([this] { Button1Click(); }); });
    connect(Button2, &QPushButton::clicked, this, [this] { Dialogs::guarded([this] { Button2Click(); }); });
    // Edit1KeyPress: Enter saves, as "保存" does.
    connect(Edit1, &QLineEdit::returnPressed, this, [this] { Dialogs::guarded([this] { BtnOkClick(); }); });

    // Window-wide, so they work whichever control has the focus.
    for (int key : {int(Qt::Key_Escape), int(Qt::Key_F4)}) {
        auto *shortcut = new QShortcut(QKeySequence(key), this);
        shortcut->setContext(Qt::WindowShortcut);
        connect(shortcut, &QShortcut::activated, this, [this, key] { FormShortCut(key); });
    }
}

void TFLektoLinks::LoadLinks()
{
    LinksFile = LinksDir + QStringLiteral("links.txt");
    if (QDir(LinksDir).exists()) {
        for (TImage *tile : std::as_const(TileList)) {
            auto *placeholder = new TImage(tile->parentWidget());
            placeholder->SetPicture(FPlaceholder);
            placeholder->setAttribute(Qt::WA_TransparentForMouseEvents);
            static_cast<QGridLayout *>(tile->parentWidget()->layout())->addWidget(placeholder, 0, 0);
            placeholder->stackUnder(tile);
            // A picture that cannot be decoded leaves the tile on its placeholder.
            const QString file = PictureFile(tile);
            if (QFileInfo::exists(file))
                tile->SetPicture(QPixmap::fromImage(ReadTilePicture(file, tile->size())));
        }
        if (QFileInfo::exists(LinksFile)) {
            try {
                Links = TLinksFile::load(LinksFile);
            } catch (...) {
                FLinksUnreadable = true;
                Dialogs::reportException(std::current_exception());
            }
        }
    }
    Links.padTo(kTiles);
}

QString TFLektoLinks::PictureFile(const TImage *tile) const
{
    return LinksDir + tile->objectName() + QStringLiteral(".jpg");
}

void TFLektoLinks::ToShow()
{
    if (isVisible()) {
        hide();
    } else {
        show();
        raise();
        activateWindow();
    }
}

void TFLektoLinks::showEvent(QShowEvent *event)
{
    // Centred in the work area every time it is shown.
    const QScreen *screen = parentWidget() ? parentWidget()->screen() : QGuiApplication::primaryScreen();
    if (screen) {
        QRect frame = frameGeometry(); // with the frame once the window system has told its size
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }
    QWidget::showEvent(event);
}

void TFLektoLinks::ImgOnClick(TImage *tile)
{
    CurrentTile = tile;
    // A tile opens its address with a picture or without one; only a tile
    // without an address is one to fill in.
    if (Links.line(tile->Tag()).isEmpty()) {
        EditTile();
        return;
    }
    FIEOpen(Links.line(tile->Tag()));
    hide();
}

void TFLektoLinks::Img1MouseUp(TImage *tile, Qt::MouseButton button)
{
    if (button != Qt::RightButton)
        return;
    CurrentTile = tile;
    EditTile();
}

void TFLektoLinks::EditTile()
{
    pProperty->setVisible(true);
    Edit1->setText(Links.line(CurrentTile->Tag()));
    p1->setText(CurrentTile->objectName() + QStringLiteral(" 网址>>"));
    Edit1->setFocus();
}

void TFLektoLinks::BtnOkClick()
{
    pProperty->setVisible(false);
    if (!CurrentTile)
        return;
    // The edit reaches the lines first, so a failed write loses nothing the
    // next save could not write.
    Links.setLine(CurrentTile->Tag(), Edit1->text());
    if (FLinksUnreadable)
        throw ELektoError(QStringLiteral("无法读取链接文件 %1，为免覆盖其内容，链接未保存。").arg(LinksFile));
    if (!QDir().mkpath(LinksDir))
        throw ELektoError(QStringLiteral("无法创建文件夹 %1").arg(LinksDir));
    Links.save(LinksFile);
}

void TFLektoLinks::N2Click()
{
    Edit1->clear();
    Edit1->paste();
    BtnOkClick();
}

void TFLektoLinks::Button1Click()
{
    const QString chosen = FileChoice::openFile(this, QString::fromUtf8(kPictureFilter));
    if (chosen.isEmpty() || !CurrentTile)
        return;
    // Failures here are silent, by design of the board; but the tile's file is
    // only ever replaced whole, by an exact copy of a picture that decoded.
    try {
        QFile file(chosen);
        if (!file.open(QIODevice::ReadOnly))
            return;
        const QByteArray bytes = file.readAll();
        file.close();
        const QImage picture = ReadTilePicture(bytes, CurrentTile->size());
        if (picture.isNull())
            return;
        CurrentTile->SetPicture(QPixmap::fromImage(picture));
        if (QDir().mkpath(LinksDir))
            WriteFileAtomically(PictureFile(CurrentTile), bytes);
    } catch (...) {
    }
}

void TFLektoLinks::Button2Click()
{
    if (!CurrentTile)
        return;
    CurrentTile->SetPicture(QPixmap());
    QFile::remove(PictureFile(CurrentTile));
}

void TFLektoLinks::FormShortCut(int key)
{
    if (key == Qt::Key_Escape || key == Qt::Key_F4)
        hide();
}
