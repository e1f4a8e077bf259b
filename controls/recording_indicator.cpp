#include "controls/recording_indicator.h"

#include <QPaintEvent>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>

namespace {
constexpr int kRefreshMs = 100;
constexpr int kMargin = 6;
const QColor kRed(230, 40, 40);
const QColor kAmber(245, 170, 30);
} // namespace

CRecordingIndicator::CRecordingIndicator(LevelSource source, QWidget *parent)
    : QWidget(parent), source_(std::move(source))
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_TranslucentBackground);
    setFocusPolicy(Qt::NoFocus);
    setObjectName(QStringLiteral("recordingIndicator"));
    timer_.setInterval(kRefreshMs);
    connect(&timer_, &QTimer::timeout, this, [this] { Tick(clock_.elapsed(), source_ ? source_() : Level{}); });
    hide();
}

void CRecordingIndicator::Start(QWidget *view)
{
    elapsedMs_ = 0;
    lastSoundMs_ = 0;
    peakDb_ = -1000.0;
    warning_ = false;
    shownText_.clear();
    QRect area = view == parentWidget() ? view->rect() : view->geometry();
    resize(std::min(area.width() - 2 * kMargin, 300), 22);
    move(area.topLeft() + QPoint(kMargin, kMargin));
    clock_.start();
    timer_.start();
    Render();
    show();
    raise();
}

void CRecordingIndicator::Stop()
{
    timer_.stop();
    hide();
}

void CRecordingIndicator::Tick(qint64 elapsedMs, const Level &level)
{
    const bool fresh = level.count > 0;
    peakDb_ = fresh ? level.peakDb : -1000.0;
    // No reading at all counts as silence too: the microphone gave nothing.
    if (fresh && level.peakDb > kSilenceDb)
        lastSoundMs_ = elapsedMs;
    elapsedMs_ = elapsedMs;
    warning_ = elapsedMs_ - lastSoundMs_ >= kSilenceWarningMs;
    Render();
}

QString CRecordingIndicator::FormatElapsed(qint64 ms)
{
    const qint64 s = std::max<qint64>(ms, 0) / 1000;
    if (s >= 3600)
        return QStringLiteral("%1:%2:%3").arg(s / 3600).arg(s / 60 % 60, 2, 10, QLatin1Char('0')).arg(s % 60, 2, 10,
            QLatin1Char('0'));
    return QStringLiteral("%1:%2").arg(s / 60).arg(s % 60, 2, 10, QLatin1Char('0'));
}

QString CRecordingIndicator::Text() const
{
    const QString time = FormatElapsed(elapsedMs_);
    return warning_ ? time + QStringLiteral("  No sound from the microphone") : time;
}

double CRecordingIndicator::BarFraction() const
{
    return std::clamp((peakDb_ - kFloorDb) / -kFloorDb, 0.0, 1.0);
}

namespace {
constexpr int kTextX = 22;
constexpr int kBarGap = 8;
constexpr int kBarWidth = 40;
} // namespace

int CRecordingIndicator::BarPixels() const { return int(kBarWidth * BarFraction()); }

void CRecordingIndicator::Render()
{
    const QString text = Text();
    const int bar = BarPixels();
    // The warning is part of the text, so text and bar say all that is shown.
    if (text == shownText_ && bar == shownBar_ && face_.size() == size() * devicePixelRatioF())
        return;
    shownText_ = text;
    shownBar_ = bar;
    ++renders_;
    const qreal ratio = devicePixelRatioF();
    face_ = QImage(size() * ratio, QImage::Format_ARGB32_Premultiplied);
    face_.setDevicePixelRatio(ratio);
    face_.fill(Qt::transparent);
    QPainter p(&face_);
    p.setRenderHint(QPainter::Antialiasing);
    p.setFont(font());
    const QColor accent = warning_ ? kAmber : kRed;
    const int textWidth = fontMetrics().horizontalAdvance(text);
    const int barX = kTextX + textWidth + kBarGap;
    const int plateWidth = std::min(width(), barX + kBarWidth + 6);
    QPainterPath plate;
    plate.addRoundedRect(QRectF(0, 0, plateWidth, height()), 6, 6);
    p.fillPath(plate, QColor(0, 0, 0, 150));
    p.setPen(Qt::NoPen);
    p.setBrush(accent);
    p.drawEllipse(QPointF(11, height() / 2.0), 5, 5);
    p.setPen(warning_ ? kAmber : Qt::white);
    p.drawText(QRect(kTextX, 0, textWidth + 2, height()), Qt::AlignVCenter | Qt::AlignLeft, text);
    const QRect track(barX, height() / 2 - 3, std::max(0, plateWidth - barX - 6), 6);
    p.fillRect(track, QColor(255, 255, 255, 60));
    p.fillRect(QRect(track.x(), track.y(), std::min(bar, track.width()), track.height()),
        warning_ ? kAmber : QColor(80, 210, 90));
    p.end();
    update();
}

void CRecordingIndicator::paintEvent(QPaintEvent *event)
{
    QPainter p(this);
    p.drawImage(event->rect(), face_, QRectF(QPointF(event->rect().topLeft()) * face_.devicePixelRatio(),
                                             QSizeF(event->rect().size()) * face_.devicePixelRatio()));
}
