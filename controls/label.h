#pragma once
// A static text control that paints its own text: colours, its own font, an
// optional solid or gradient background, transparency over the parent's skin,
// blinking, rotated or raised text and an optional "link" behaviour on click.
//
// Colours are QColor. Colour references written as 0x00BBGGRR convert with
// CLabel::FromColorRef (0x00FF0000 is blue); integer colours are refused at
// compile time so such a value cannot be taken for a QRgb by accident.
//
// Every setter returns the label, so calls chain:
//   label->SetLabelText("Solo").SetTransparent(true).SetTextColour(CLabel::FromColorRef(0xFF0000));
#include <QCursor>
#include <QFont>
#include <QLabel>
#include <QTimer>
#include <optional>
#include <vector>

class CLabel : public QLabel {
    Q_OBJECT
public:
    // Static styles: the alignment part (style & 0x1F) and the flags this
    // control reads.
    enum StaticStyle : int {
        SS_LEFT = 0x0,
        SS_CENTER = 0x1,
        SS_RIGHT = 0x2,
        SS_LEFTNOWORDWRAP = 0xC,
        SS_TYPEMASK = 0x1F,
        SS_NOTIFY = 0x100,
        SS_CENTERIMAGE = 0x200,
    };
    // Text format flags, as the layout rules name them.
    enum DrawTextFlag : int {
        DT_LEFT = 0x0,
        DT_CENTER = 0x1,
        DT_RIGHT = 0x2,
        DT_VCENTER = 0x4,
        DT_WORDBREAK = 0x10,
        DT_SINGLELINE = 0x20,
    };
    enum FlashKind : int { FlashNone = 0, FlashText = 1, FlashBackground = 2 };
    // Notification code a click sends when the label is set to notify.
    static constexpr int kLinkNotifyCode = 0x8200;
    static constexpr int kBlinkPeriodMs = 500;

    explicit CLabel(QWidget *parent = nullptr, const QString &text = QString());
    ~CLabel() override;

    static QColor FromColorRef(quint32 colorRef);

    // The eighteen operations, in their fixed order.
    virtual CLabel &SetBackground(const QColor &colour, const QColor &gradientEnd = QColor(0, 0, 0),
                                  bool gradient = false);
    virtual CLabel &SetTextColour(const QColor &colour);
    virtual CLabel &SetLabelText(const QString &text);
    virtual CLabel &SetBold(bool bold);
    virtual CLabel &SetFaceName(const QString &face, int charSet = 1);
    virtual CLabel &SetUnderline(bool underline);
    virtual CLabel &SetItalic(bool italic);
    virtual CLabel &SetPointSize(int points);
    virtual CLabel &SetSunkenEdge(bool on);
    virtual CLabel &SetBorder(bool on);
    virtual CLabel &SetTransparent(bool on);
    virtual CLabel &SetTextFlash(bool on);
    virtual CLabel &SetBackgroundFlash(bool on);
    virtual CLabel &SetLinkMode(bool link, bool notify);
    virtual CLabel &SetLinkCursor(const std::optional<QCursor> &cursor);
    virtual CLabel &SetRaisedText(bool on, int direction = 0);
    virtual CLabel &SetRotation(int degrees, bool on);
    virtual CLabel &SetRaisedColour(const QColor &colour);

    // Integer colours would silently read as QRgb; use FromColorRef.
    CLabel &SetTextColour(int) = delete;
    CLabel &SetTextColour(unsigned) = delete;
    CLabel &SetRaisedColour(int) = delete;
    CLabel &SetRaisedColour(unsigned) = delete;
    CLabel &SetTextColour(Qt::GlobalColor colour) { return SetTextColour(QColor(colour)); }
    CLabel &SetRaisedColour(Qt::GlobalColor colour) { return SetRaisedColour(QColor(colour)); }

    // The static style (alignment, SS_NOTIFY, SS_CENTERIMAGE). Without
    // SS_NOTIFY clicks pass through the label to what lies beneath.
    void SetStaticStyle(int style);
    int GetStaticStyle() const { return style; }

    // Text format the next paint uses (DT_ flags), from the style and text.
    int TextFormat() const;
    // Qt's alignment and wrapping flags for a DT_ format.
    static int QtTextFlags(int format);

    // The blink timer's handler: toggles the phase and refreshes.
    void OnTimer();

    int FlashPhase() const { return flashPhase; }
    int GetFlashKind() const { return flashKind; }
    bool IsBlinkTimerActive() const { return blinkTimer.isActive(); }
    bool IsTransparent() const { return transparent != 0; }
    bool HasSunkenEdge() const { return sunkenEdge; }
    bool HasBorder() const { return border; }
    QColor GetTextColour() const { return textColour; }
    QColor DefaultBrushColour() const { return defaultBrush; }
    const QFont &PaintFont() const { return paintFont; }
    int FontCharSet() const { return fontDescription.charSet; }
    int FontEscapement() const { return fontDescription.escapement; }

Q_SIGNALS:
    // A click on a label set to notify (the parent's notification).
    void LinkNotify(CLabel *sender, int code);

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    struct FontDescription {
        QFont font;
        int charSet = 1;
        int escapement = 0;
        int orientation = 0;
    };

    void Refresh();
    void RebuildFont();
    void UpdateFrameMargins();
    void StartBlinking(int kind);
    void DrawFrame(QPainter &painter) const;
    void PaintContent(QPainter &painter, const QRect &client, bool withBackground) const;

    QColor textColour;
    QColor raisedColour{255, 255, 255};
    QColor defaultBrush;
    std::optional<QColor> ownBrush;
    FontDescription fontDescription;
    QFont paintFont;
    int flashPhase = 0;
    int timerOn = 0;
    int link = 1;
    int transparent = 0;
    int raisedText = 0;
    int linkNotifies = 0;
    int rotated = 0;
    int flashKind = FlashNone;
    std::optional<QCursor> linkCursor;
    int raisedDirection = 0;
    int gradient = 0;
    QColor gradientEndColour{0, 0, 0};
    QColor backgroundColour{0, 0, 0};

    // Window styles and the timer behind the flags above.
    int style = SS_LEFT;
    bool sunkenEdge = false;
    bool border = false;
    QTimer blinkTimer;
};

namespace label_detail {

// One band of a horizontal gradient: [left, right) in colour.
struct GradientBand {
    int left;
    int right;
    QColor colour;
};

// The bands of a gradient from a on the left to b on the right over rect, in
// integer steps of 1/256 (at most 100 bands; the last one reaches the right
// edge).
std::vector<GradientBand> GradientBands(const QRect &rect, const QColor &a, const QColor &b);

} // namespace label_detail
