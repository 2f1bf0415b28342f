#pragma once

#include "linksfile.h"

#include <QtCore/QList>
#include <QtGui/QPixmap>
#include <QtWidgets/QWidget>

#include <functional>

class QAction;
class QFrame;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class TImage;

// The board of sixteen custom link tiles, four rows of four. A tile with a
// picture and an address opens the address in the system's browser; a right
// click opens the property strip where both are set. Pictures and addresses
// live in one folder: Img1.jpg ... Img16.jpg and "links.txt".
class TFLektoLinks : public QWidget
{
    Q_OBJECT

public:
    // linksDir: the "CustomLinks" folder (it need not exist yet).
    // placeholder: the picture empty tiles show once the folder exists.
    // ieOpen: hands an address to the system's browser.
    TFLektoLinks(const QString &linksDir, const QPixmap &placeholder, std::function<void(const QString &)> ieOpen,
                 QWidget *parent = nullptr);

    // Shows the window when hidden, closes it when shown.
    void ToShow();

    // Controls, named as in the form layout.
    QFrame *pBody, *Panel40, *Panel1, *Panel21, *Panel31, *Panel20, *Panel22, *Panel41, *Panel11;
    QFrame *pProperty, *Panel4;
    QPushButton *Button1, *Button2, *BtnOk;
    QLabel *p1;
    QLineEdit *Edit1;
    QMenu *PopupMenu2;
    QAction *N2;
    QList<TImage *> TileList; // Img1 ... Img16; a tile's tag is its line's index
    TImage *CurrentTile = nullptr;

    QString LinksDir;  // with its trailing separator
    QString LinksFile; // LinksDir + "links.txt"
    TLinksFile Links;  // at least sixteen lines once loaded

    // Handlers, public so that tests can drive them as the controls do.
    void ImgOnClick(TImage *tile);
    void Img1MouseUp(TImage *tile, Qt::MouseButton button);
    void BtnOkClick();
    void N2Click();
    void Button1Click();
    void Button2Click();
    void FormShortCut(int key);

    // The file the tile's picture is kept in.
    QString PictureFile(const TImage *tile) const;

protected:
    void showEvent(QShowEvent *event) override;

private:
    void buildControls();
    QFrame *labelBand(const QString &name, int height, int firstTile);
    QFrame *tileRow(const QString &name, int height, int firstTile);
    void LoadLinks();
    void EditTile();

    QPixmap FPlaceholder;
    std::function<void(const QString &)> FIEOpen;
    bool FLinksUnreadable = false; // never overwrite a file we could not read
};

// A tile's picture, decoded straight to the tile's size so that a huge
// picture costs no more memory than a small one. Null when undecodable.
QImage ReadTilePicture(const QByteArray &bytes, const QSize &size);
QImage ReadTilePicture(const QString &path, const QSize &size);
