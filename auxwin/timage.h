#pragma once

#include <QtGui/QPixmap>
#include <QtWidgets/QWidget>

// An image control: draws its picture, stretched to fill or unscaled from its
// top-left corner, and nothing at all when it has none, so whatever lies
// behind it shows. Reports clicks (left button, released inside), every
// button release, and the pointer entering and leaving.
class TImage : public QWidget
{
    Q_OBJECT

public:
    explicit TImage(QWidget *parent = nullptr, int tag = 0);

    int Tag() const { return FTag; }
    const QPixmap &Picture() const { return FPicture; }
    void SetPicture(const QPixmap &picture);
    bool HasPicture() const { return !FPicture.isNull(); }
    void SetStretch(bool stretch);

signals:
    void clicked();
    void mouseUp(Qt::MouseButton button);
    void mouseEntered();
    void mouseLeft();

protected:
    bool event(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;

private:
    QPixmap FPicture;
    int FTag;
    bool FStretch = false;
    bool FLeftDown = false;
};
