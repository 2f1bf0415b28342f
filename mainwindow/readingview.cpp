// The reading view, the window's side: F9 and Shift+F9, the settings kept in
// "Lekto.ini", the reader's rules for text adverts, the corner button and
// the settings panel.
#include "lekto.h"

#include "dialogs.h"
#include "readingpanel.h"

#include <QtCore/QDir>
#include <QtCore/QEvent>
#include <QtCore/QFile>
#include <QtCore/QFileInfo>
#include <QtCore/QSaveFile>
#include <QtCore/QSettings>
#include <QtCore/QTimer>
#include <QtCore/QUrl>
#include <QtWidgets/QToolButton>

namespace {

// Keeps the corner button at the view's top right as the view moves.
class TCornerKeeper : public QObject
{
public:
    TCornerKeeper(QObject *parent, std::function<void()> place) : QObject(parent), FPlace(std::move(place)) {}

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Resize || event->type() == QEvent::Move || event->type() == QEvent::Show)
            FPlace();
        return QObject::eventFilter(watched, event);
    }

private:
    std::function<void()> FPlace;
};

} // namespace

QString TFLekto::ReadingRulesFile() const
{
    return SideFile(QString::fromLatin1(Reading::TRules::kFileName));
}

void TFLekto::ReadingViewCreate()
{
    {
        QSettings settings(SideFile(QStringLiteral("Lekto.ini")), QSettings::IniFormat);
        FReading = Reading::TSettings::Load(settings);
    }
    RefreshReadingRules();
    WB1->SetReadingStyle(FReading.style);
    WB1->SetReadingView(FReading.enabled);
    WB1->OnReadingView = [this](TBrowserView *, TReadingOutcome outcome) {
        Dialogs::guarded([&] { ReadingOutcome(outcome); });
    };
    BtnReading = new QToolButton(Panel1);
    BtnReading->setText(QStringLiteral("Aa"));
    BtnReading->setToolTip(QStringLiteral("阅读视图设置"));
    BtnReading->setAutoRaise(true);
    BtnReading->setFocusPolicy(Qt::NoFocus);
    BtnReading->setCursor(Qt::PointingHandCursor);
    BtnReading->setFixedSize(34, 26);
    BtnReading->hide();
    connect(BtnReading, &QToolButton::clicked, this, [this] { Dialogs::guarded([this] { ShowReadingPanel(); }); });
    WB1->installEventFilter(new TCornerKeeper(this, [this] { placeReadingButton(); }));
    connect(WB1, &TBrowserView::navigationBegun, this, [this] {
        BtnReading->hide();
        Dialogs::guarded([this] { RefreshReadingRules(); });
    });
}

void TFLekto::placeReadingButton()
{
    if (!BtnReading)
        return;
    const QRect view = WB1->geometry();
    // Clear of the page's scroll bar.
    BtnReading->move(view.right() - BtnReading->width() - 22, view.top() + 6);
    BtnReading->raise();
}

void TFLekto::ReadingOutcome(TReadingOutcome outcome)
{
    const bool shown = outcome == TReadingOutcome::Shown;
    if (BtnReading) {
        const Reading::TColours c = Reading::Colours(FReading.style.theme);
        BtnReading->setStyleSheet(QStringLiteral("QToolButton{color:%1;background:transparent;border:0;font-size:14px}"
                                                 "QToolButton:hover{background:%2;border-radius:4px}")
                                      .arg(QLatin1String(c.muted), QLatin1String(c.bar)));
        placeReadingButton();
        BtnReading->setVisible(shown);
    }
    if (outcome == TReadingOutcome::TextNotFound)
        ShowPassingHint(QStringLiteral("阅读视图：没有找到本章的正文，网页按原样显示。"));
}

void TFLekto::ToggleReadingView()
{
    FReading.enabled = !FReading.enabled;
    WB1->SetReadingView(FReading.enabled);
    if (FReadingPanel)
        FReadingPanel->SetSettings(FReading);
    ShowPassingHint(FReading.enabled ? QStringLiteral("阅读视图：开（F9 关闭，Shift+F9 换配色）")
                                     : QStringLiteral("阅读视图：关"));
    SaveReadingSettings();
}

void TFLekto::NextReadingTheme()
{
    Reading::TStyle style = FReading.style;
    style.theme = Reading::NextTheme(style.theme);
    SetReadingStyle(style);
    ShowPassingHint(QStringLiteral("阅读配色：%1").arg(Reading::ThemeName(style.theme)));
}

void TFLekto::SetReadingStyle(const Reading::TStyle &style)
{
    FReading.style = style.clamped();
    WB1->SetReadingStyle(FReading.style);
    if (FReadingPanel)
        FReadingPanel->SetSettings(FReading);
    if (BtnReading && BtnReading->isVisible())
        ReadingOutcome(TReadingOutcome::Shown);
    SaveReadingSettings();
}

void TFLekto::SaveReadingSettings()
{
    // QSettings writes the file whole and in place of the old one (its
    // atomic sync), so a crash leaves the old settings, never half of them.
    QSettings settings(SideFile(QStringLiteral("Lekto.ini")), QSettings::IniFormat);
    FReading.Save(settings);
    settings.sync();
    if (settings.status() != QSettings::NoError)
        ShowPassingHint(QStringLiteral("阅读视图的设置无法保存到“%1”。").arg(QDir::toNativeSeparators(settings.fileName())));
}

void TFLekto::ShowReadingPanel()
{
    if (!FReadingPanel) {
        FReadingPanel = new TReadingPanel(this);
        FReadingPanel->setWindowFlag(Qt::Tool);
        FReadingPanel->OnChange = [this](const Reading::TSettings &s) {
            if (s.enabled != FReading.enabled)
                ToggleReadingView();
            SetReadingStyle(s.style);
        };
        FReadingPanel->OnEditRules = [this] {
            const QString file = ReadingRulesFile();
            if (!QFileInfo::exists(file)) {
                QSaveFile out(file);
                if (out.open(QIODevice::WriteOnly)) {
                    out.write(Reading::TRules::FileTemplate().toUtf8());
                    out.commit();
                }
            }
            if (!Dialogs::openExternal(QUrl::fromLocalFile(file).toString()))
                Dialogs::showMessage(QStringLiteral("警告"),
                                     QStringLiteral("无法打开规则文件，请用文本编辑器打开：\n%1").arg(QDir::toNativeSeparators(file)));
        };
    }
    FReadingPanel->SetSettings(FReading);
    FReadingPanel->show();
    FReadingPanel->raise();
    FReadingPanel->activateWindow();
}

void TFLekto::RefreshReadingRules()
{
    const QFileInfo info(ReadingRulesFile());
    const qint64 size = info.exists() ? info.size() : -1;
    const QDateTime stamp = info.exists() ? info.lastModified() : QDateTime();
    if (size == FRulesSize && stamp == FRulesStamp)
        return;
    FRulesSize = size;
    FRulesStamp = stamp;
    Reading::TRules rules;
    if (size >= 0) {
        QFile file(info.filePath());
        if (!file.open(QIODevice::ReadOnly)) {
            ShowPassingHint(QStringLiteral("无法读取广告过滤规则文件“%1”：%2")
                                .arg(QDir::toNativeSeparators(info.filePath()), file.errorString()));
            return; // the rules in force stay
        }
        rules.SetUserRules(QString::fromUtf8(file.readAll()));
    }
    WB1->SetReadingRules(rules);
    if (rules.Errors().isEmpty())
        return;
    QString text = QStringLiteral("广告过滤规则文件“%1”中有规则无法使用，已略过；其余规则照常生效：\n")
                       .arg(QDir::toNativeSeparators(info.filePath()));
    for (const Reading::TRuleError &e : rules.Errors())
        text += QStringLiteral("\n第%1行 %2\n    %3").arg(e.line).arg(e.rule, e.message);
    // Not inside the engine's navigation: the box runs an event loop of its own.
    QTimer::singleShot(0, this, [text] { Dialogs::showMessage(QStringLiteral("警告"), text); });
}
