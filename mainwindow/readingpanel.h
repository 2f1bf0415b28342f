#pragma once

#include "readingtext.h"

#include <QtWidgets/QDialog>

#include <functional>

class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QSpinBox;

// The reading view's settings: each change shows at once, in the view and
// in the panel's own sample.
class TReadingPanel : public QDialog
{
    Q_OBJECT

public:
    explicit TReadingPanel(QWidget *parent = nullptr);

    void SetSettings(const Reading::TSettings &settings);
    Reading::TSettings Settings() const;
    // Which faces the machine has: a face not installed is not offered.
    static QList<Reading::TFontFace> InstalledFaces();

    std::function<void(const Reading::TSettings &)> OnChange;
    std::function<void()> OnEditRules;

    QComboBox *CbTheme, *CbFont;
    QSpinBox *SeSize, *SeWidth;
    QDoubleSpinBox *SeLineHeight, *SeSpacing;
    QCheckBox *CkEnabled;
    QLabel *LblSample;

private:
    void changed();
    void showSample();
    bool FSetting = false;
};
