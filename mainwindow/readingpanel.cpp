#include "readingpanel.h"

#include "dialogs.h"

#include <QtGui/QFontDatabase>
#include <QtWidgets/QCheckBox>
#include <QtWidgets/QComboBox>
#include <QtWidgets/QDoubleSpinBox>
#include <QtWidgets/QFormLayout>
#include <QtWidgets/QHBoxLayout>
#include <QtWidgets/QLabel>
#include <QtWidgets/QPushButton>
#include <QtWidgets/QSpinBox>
#include <QtWidgets/QVBoxLayout>

namespace {

const char *const kSample = "　　夜色渐深，窗外的雨还没有停。他把书页轻轻翻过，灯下的字一行一行地亮起来，像是许多年前那个夏天。";

QStringList familiesOf(Reading::TFontFace face)
{
    switch (face) {
    case Reading::TFontFace::Serif: return {"Noto Serif CJK SC", "Source Han Serif SC", "Source Han Serif CN", "SimSun", "Songti SC"};
    case Reading::TFontFace::Sans: return {"Noto Sans CJK SC", "Source Han Sans SC", "Source Han Sans CN", "Microsoft YaHei", "PingFang SC", "WenQuanYi Micro Hei", "WenQuanYi Zen Hei"};
    case Reading::TFontFace::Kai: return {"AR PL UKai CN", "AR PL KaitiM GB", "KaiTi", "STKaiti", "Kaiti SC"};
    }
    return {};
}

} // namespace

QList<Reading::TFontFace> TReadingPanel::InstalledFaces()
{
    const QStringList installed = QFontDatabase::families();
    QList<Reading::TFontFace> out;
    for (auto face : {Reading::TFontFace::Serif, Reading::TFontFace::Sans, Reading::TFontFace::Kai})
        for (const QString &f : familiesOf(face))
            if (installed.contains(f, Qt::CaseInsensitive)) {
                out << face;
                break;
            }
    // The engine falls back on some face for each: one is always offered.
    if (out.isEmpty())
        out << Reading::TFontFace::Serif;
    return out;
}

TReadingPanel::TReadingPanel(QWidget *parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("阅读视图设置"));
    setModal(false);
    auto *form = new QFormLayout;
    CkEnabled = new QCheckBox(QStringLiteral("章节页用阅读视图显示（F9）"), this);
    CbTheme = new QComboBox(this);
    for (int t = 0; t < Reading::kThemeCount; ++t)
        CbTheme->addItem(Reading::ThemeName(Reading::TTheme(t)), t);
    CbFont = new QComboBox(this);
    for (Reading::TFontFace f : InstalledFaces())
        CbFont->addItem(Reading::FontName(f), int(f));
    SeSize = new QSpinBox(this);
    SeSize->setRange(Reading::TStyle::kMinFontPx, Reading::TStyle::kMaxFontPx);
    SeSize->setSuffix(QStringLiteral(" 像素"));
    SeLineHeight = new QDoubleSpinBox(this);
    SeLineHeight->setRange(Reading::TStyle::kMinLineHeight, Reading::TStyle::kMaxLineHeight);
    SeLineHeight->setSingleStep(0.1);
    SeLineHeight->setDecimals(1);
    SeLineHeight->setSuffix(QStringLiteral(" 倍"));
    SeWidth = new QSpinBox(this);
    SeWidth->setRange(Reading::TStyle::kMinWidth, Reading::TStyle::kMaxWidth);
    SeWidth->setSuffix(QStringLiteral(" 字"));
    SeSpacing = new QDoubleSpinBox(this);
    SeSpacing->setRange(0, Reading::TStyle::kMaxParagraphSpacing);
    SeSpacing->setSingleStep(0.1);
    SeSpacing->setDecimals(1);
    SeSpacing->setSuffix(QStringLiteral(" 行"));
    form->addRow(CkEnabled);
    form->addRow(QStringLiteral("配色（Shift+F9）："), CbTheme);
    form->addRow(QStringLiteral("字体："), CbFont);
    form->addRow(QStringLiteral("字号："), SeSize);
    form->addRow(QStringLiteral("行距："), SeLineHeight);
    form->addRow(QStringLiteral("每行字数："), SeWidth);
    form->addRow(QStringLiteral("段落间距："), SeSpacing);
    LblSample = new QLabel(this);
    LblSample->setWordWrap(true);
    LblSample->setMinimumSize(360, 120);
    LblSample->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    auto *rules = new QPushButton(QStringLiteral("编辑广告过滤规则…"), this);
    auto *close = new QPushButton(QStringLiteral("关闭"), this);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(rules);
    buttons->addStretch(1);
    buttons->addWidget(close);
    auto *main = new QVBoxLayout(this);
    main->addLayout(form);
    main->addWidget(LblSample, 1);
    main->addLayout(buttons);

    connect(CkEnabled, &QCheckBox::toggled, this, [this] { changed(); });
    for (QComboBox *c : {CbTheme, CbFont})
        connect(c, &QComboBox::currentIndexChanged, this, [this] { changed(); });
    for (QSpinBox *s : {SeSize, SeWidth})
        connect(s, &QSpinBox::valueChanged, this, [this] { changed(); });
    for (QDoubleSpinBox *s : {SeLineHeight, SeSpacing})
        connect(s, &QDoubleSpinBox::valueChanged, this, [this] { changed(); });
    connect(rules, &QPushButton::clicked, this, [this] { Dialogs::guarded([this] { if (OnEditRules) OnEditRules(); }); });
    connect(close, &QPushButton::clicked, this, &QDialog::close);
    SetSettings({});
}

void TReadingPanel::SetSettings(const Reading::TSettings &settings)
{
    FSetting = true;
    const Reading::TStyle s = settings.style.clamped();
    CkEnabled->setChecked(settings.enabled);
    CbTheme->setCurrentIndex(CbTheme->findData(int(s.theme)));
    const int font = CbFont->findData(int(s.font));
    CbFont->setCurrentIndex(font >= 0 ? font : 0);
    SeSize->setValue(s.fontPx);
    SeLineHeight->setValue(s.lineHeight);
    SeWidth->setValue(s.widthChars);
    SeSpacing->setValue(s.paragraphSpacing);
    FSetting = false;
    showSample();
}

Reading::TSettings TReadingPanel::Settings() const
{
    Reading::TSettings out;
    out.enabled = CkEnabled->isChecked();
    out.style.theme = Reading::TTheme(CbTheme->currentData().toInt());
    out.style.font = Reading::TFontFace(CbFont->currentData().toInt());
    out.style.fontPx = SeSize->value();
    out.style.lineHeight = SeLineHeight->value();
    out.style.widthChars = SeWidth->value();
    out.style.paragraphSpacing = SeSpacing->value();
    out.style = out.style.clamped();
    return out;
}

void TReadingPanel::changed()
{
    if (FSetting)
        return;
    showSample();
    if (OnChange)
        Dialogs::guarded([this] { OnChange(Settings()); });
}

void TReadingPanel::showSample()
{
    const Reading::TStyle s = Settings().style;
    const Reading::TColours c = Reading::Colours(s.theme);
    QFont font;
    font.setFamilies(familiesOf(s.font));
    font.setPixelSize(s.fontPx);
    LblSample->setFont(font);
    LblSample->setAutoFillBackground(true);
    LblSample->setStyleSheet(QStringLiteral("QLabel{background:%1;color:%2;padding:10px;}")
                                 .arg(QLatin1String(c.background), QLatin1String(c.text)));
    LblSample->setText(QStringLiteral("<div style=\"line-height:%1%\">%2</div>")
                           .arg(qRound(s.lineHeight * 100))
                           .arg(QString::fromUtf8(kSample).toHtmlEscaped()));
}
