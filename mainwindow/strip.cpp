// The promotional strip above the start page: five pictures, four of which
// open a site in the system's browser and one the custom links board.
#include "lekto.h"

#include "dialogs.h"
#include "forms.h"
#include "lektolinks.h"
#include "strip.h"
#include "timage.h"

#include <QtGui/QMouseEvent>

const TStripPicture kStripPictures[kStripPictureCount] = {
    {"picKfw", 0, ":/strip/picKfw.png", "以小博大，微交易炒股", "https://www.eastmoney.com/"},
    {"picamazon", 1, ":/strip/picamazon.jpg", "亚马逊购物", "https://www.amazon.cn/"},
    {"pictaobao", 2, ":/strip/pictaobao.png", "某点小说排行榜", "https://www.qidian.com/rank/"},
    {"picbaidu", 4, ":/strip/picbaidu.jpg", "熊掌一下，你就知道。。", "https://www.baidu.com/"},
    {"picmore", 5, ":/strip/picmore.jpg", "自定义链接。。。", nullptr},
};

const char *const kStripHintPrefix = "[右击隐藏]  ";
const char *const kStripSearchPrefix = "https://www.baidu.com/s?wd=";

namespace {

// Right-button releases on the strip itself, between and beside the pictures.
class TStripMouseUp : public QObject
{
public:
    explicit TStripMouseUp(TFLekto *owner) : QObject(owner), FOwner(owner) {}

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::MouseButtonRelease)
            FOwner->picbaiduMouseUp(static_cast<QMouseEvent *>(event)->button());
        return QObject::eventFilter(watched, event);
    }

private:
    TFLekto *FOwner;
};

const TStripPicture *stripPicture(int tag)
{
    for (const TStripPicture &p : kStripPictures)
        if (p.tag == tag)
            return &p;
    return nullptr;
}

} // namespace

void TFLekto::buildStrip()
{
    Q_INIT_RESOURCE(strip);
    // Placed, not laid out: in a window narrower than the five pictures the
    // last ones are cut off; the strip never makes the window wider.
    TImage **controls[] = {&picKfw, &picamazon, &pictaobao, &picbaidu, &picmore};
    for (int i = 0; i < kStripPictureCount; ++i) {
        const TStripPicture &p = kStripPictures[i];
        auto *image = new TImage(pads, p.tag);
        image->setObjectName(QString::fromLatin1(p.name));
        image->SetPicture(QPixmap(QString::fromLatin1(p.resource)));
        image->setGeometry(i * 170, 0, 170, 100);
        image->setCursor(Qt::PointingHandCursor);
        connect(image, &TImage::clicked, this, [this, image] { Dialogs::guarded([&] { picbaiduClick(image); }); });
        connect(image, &TImage::mouseUp, this, [this](Qt::MouseButton b) { picbaiduMouseUp(b); });
        connect(image, &TImage::mouseEntered, this, [this, image] { picKfwMouseEnter(image); });
        connect(image, &TImage::mouseLeft, this, [this] { picKfwMouseLeave(); });
        *controls[i] = image;
    }
    pads->installEventFilter(new TStripMouseUp(this));
}

void TFLekto::picbaiduClick(TImage *sender)
{
    const TStripPicture *p = sender ? stripPicture(sender->Tag()) : nullptr;
    if (!p)
        return;
    if (p->address)
        IEOpen(QString::fromLatin1(p->address));
    else if (FLektoLinks)
        FLektoLinks->ToShow();
}

void TFLekto::picbaiduMouseUp(Qt::MouseButton button)
{
    if (button == Qt::RightButton)
        pads->setVisible(false);
}

void TFLekto::picKfwMouseEnter(TImage *sender)
{
    if (const TStripPicture *p = stripPicture(sender->Tag()))
        setHint(QString::fromUtf8(kStripHintPrefix) + QString::fromUtf8(p->hint));
}

void TFLekto::picKfwMouseLeave()
{
    setHint(QString());
}
