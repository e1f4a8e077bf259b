#pragma once
// The skinned push button: paints one of its own bitmaps, chosen by state, and
// nothing else. The dialog latches a button to keep it in the pressed look
// (the selected mode, Play while playing, Record while recording).
//
// Usage:
//   auto *b = new CHoverButton(dialog, QStringLiteral("Solo"));
//   b->LoadBitmaps(300, 300, 162);   // normal, hover, pressed; resizes to 300
//   b->SetLatched(true);
// Clicks arrive through QAbstractButton::clicked.
#include <QAbstractButton>
#include <QImage>

class CHoverButton : public QAbstractButton {
    Q_OBJECT
public:
    // caption is the template caption; it becomes the accessible name (the
    // button never draws text).
    explicit CHoverButton(QWidget *parent = nullptr, const QString &caption = QString());
    ~CHoverButton() override;

    // Loads ":/skin/<id>.png" (the embedded skin, registered on first use)
    // for the three faces. The normal face fixes the
    // button's size (the button is resized, not moved). False when the
    // normal face cannot be loaded; the button then keeps its old faces.
    bool LoadBitmaps(int normal, int hover, int pressed);
    // Same with images already in memory.
    bool LoadImages(const QImage &normal, const QImage &hover, const QImage &pressed);
    // The face shown while the enabled flag is 0 (none by default).
    void SetDisabledImage(const QImage &image);

    // Keeps the pressed face regardless of the mouse; repaints at once.
    void SetLatched(bool latched);
    bool IsLatched() const { return latched != 0; }

    // The enabled flag selects the disabled face when 0. It is independent of
    // QWidget::isEnabled(): the backdrop button is a disabled window that
    // still shows its normal face.
    void SetEnabledFlag(bool on);
    bool EnabledFlag() const { return enabled != 0; }

    void SetCaption(const QString &caption);
    bool IsHovered() const { return hover != 0; }

    // The face the next paint copies (null when that face was never loaded).
    const QImage &CurrentFace() const;

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;

private:
    // The original relays every message to a tooltip control that never gets
    // a tool text, so no tooltip is ever shown; none is made here.
    int hover = 0;
    int width = 0;
    int height = 0;
    QImage normalBitmap;
    QImage hoverBitmap;
    QImage pressedBitmap;
    QImage disabledBitmap;
    int tracking = 0;
    int latched = 0;
    int enabled = 1;
};
