#pragma once
// The small overlay that shows a recording is running: a red dot, the elapsed
// time (m:ss, h:mm:ss past an hour) and the microphone's level. After 5 s in
// which the microphone gave nothing but digital silence it turns amber and
// says "No sound from the microphone" (a warning only). It is a widget laid
// over the view, so it never reaches a recorded file or a snapshot, and it
// lets every click through to what lies beneath.
#include <QElapsedTimer>
#include <QImage>
#include <QTimer>
#include <QWidget>
#include <cstdint>
#include <functional>

class CRecordingIndicator : public QWidget {
public:
    struct Level {
        double peakDb = -1000.0;  // loudest sample of the last interval, dBFS
        std::uint64_t count = 0;  // intervals measured so far
    };
    using LevelSource = std::function<Level()>;

    static constexpr int kSilenceWarningMs = 5000;
    static constexpr double kSilenceDb = -90.0;
    static constexpr double kFloorDb = -60.0; // the bar's empty end

    CRecordingIndicator(LevelSource source, QWidget *parent);

    // Shows the overlay in the top-left corner of view (a sibling or the
    // parent itself) and starts the clock; Stop hides it.
    void Start(QWidget *view);
    void Stop();
    bool Running() const { return timer_.isActive(); }

    // One refresh at elapsedMs into the recording (the 10 Hz timer calls it).
    void Tick(qint64 elapsedMs, const Level &level);

    static QString FormatElapsed(qint64 ms);
    bool Warning() const { return warning_; }
    QString Text() const;
    double BarFraction() const;

    // How often the overlay was drawn anew (it is only when what it shows changed).
    int Renders() const { return renders_; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    // Draws the overlay into face_ when the time, the warning or the bar's
    // length changed; the view beneath repaints 30 times a second, and each
    // time the overlay is only copied over it.
    void Render();
    int BarPixels() const;

    LevelSource source_;
    QTimer timer_;
    QElapsedTimer clock_;
    qint64 elapsedMs_ = 0;
    qint64 lastSoundMs_ = 0;
    double peakDb_ = -1000.0;
    bool warning_ = false;
    QImage face_;
    QString shownText_;
    int shownBar_ = -1;
    int renders_ = 0;
};
