#pragma once

#include <QtWidgets/QFrame>

enum class TBevelCut { bvNone, bvLowered, bvRaised };

// A panel with an outer and an inner bevel, each one pixel wide, and an
// optional caption. The reading mode is read from these bevels.
class TBevelPanel : public QFrame
{
    Q_OBJECT

public:
    explicit TBevelPanel(QWidget *parent = nullptr, const QString &caption = QString());

    TBevelCut BevelOuter() const { return FOuter; }
    TBevelCut BevelInner() const { return FInner; }
    void SetBevelOuter(TBevelCut cut);
    void SetBevelInner(TBevelCut cut);
    QString Caption() const { return FCaption; }
    void SetCaption(const QString &caption);
    void SetAlignment(Qt::Alignment a) { FAlignment = a; update(); }
    // Drawn as the one chosen of a group (the reading mode): filled, its
    // caption bold, where a lowered bevel alone is easy to miss.
    bool Checked() const { return FChecked; }
    void SetChecked(bool checked);
    // Children are inset by the width of the bevels drawn.
    int BorderWidth() const;

signals:
    void clicked();
    void mouseEntered();

protected:
    void paintEvent(QPaintEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void enterEvent(QEnterEvent *event) override;

private:
    void updateMargins();

    TBevelCut FOuter = TBevelCut::bvNone;
    TBevelCut FInner = TBevelCut::bvNone;
    QString FCaption;
    Qt::Alignment FAlignment = Qt::AlignCenter;
    bool FChecked = false;
};
