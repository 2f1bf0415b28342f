#pragma once

#include <QtGui/QImage>
#include <QtWidgets/QWidget>

class QLabel;

// The page-load progress ring at the left of the toolbar: a grey disc whose
// ring turns blue clockwise from twelve o'clock, with the percentage in white
// in its middle. It places itself as a square of the smaller of its owner's
// width and height, inside the owner.
class TLektoProgImg : public QWidget
{
    Q_OBJECT

public:
    explicit TLektoProgImg(QWidget *AOwner);

    // Shows Per %; a value outside 0..100 changes nothing.
    void Progress(int Per);
    // A progress report of the main view: its maximum first, then its progress.
    void ProgressBy(int dMax, int dProg);
    int Percent() const { return FPercent; }

    QLabel *ImgBg = nullptr; // the picture "ProgBg"
    QLabel *Img = nullptr;   // the frame drawn by Progress, above ImgBg
    QLabel *L = nullptr;     // the percentage, above both
    QImage Bmp;              // the untouched "ProgBg2", from which every frame is drawn

protected:
    bool event(QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void PlaceLabel();
    void takePictures();
    void showFrame();

    int FPercent = 0;
    qreal FRatio = 0; // the device pixel ratio the pictures were made for
};
