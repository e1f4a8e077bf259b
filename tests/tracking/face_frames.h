#pragma once
// 320 x 240 frames composed at test time from Debian's astronaut picture (one
// frontal face at a known place), with the face boxes they hold.
#include <QImage>
#include <QRect>
#include <QString>
#include <vector>

namespace faceframes {

struct Frame {
    QString name;
    QImage image;             // 320 x 240, RGB32
    std::vector<QRect> faces; // top-down, left to right
    std::vector<int> people;  // who each face is (MovingScene: 0 the astronaut, 1 the second person)
};

// The folder holding astronaut.png, chelsea.png, coffee.png and
// grace_hopper.jpg (fetched by
// tools/face_fixtures.sh on first use); empty with *why set when unavailable.
QString PictureFolder(QString *why);
// One face at three sizes and two brightnesses, two faces side by side, and
// frames with no face. Empty when the pictures are unavailable.
std::vector<Frame> ComposedSet(const QString &folder);
// A camera's view, one frame per detector call (every 250 ms): a face that
// sits still under camera noise, walks across, comes nearer and sits back; a
// second person who sits down beside it and leaves; an empty room; a face
// further away. Frame names are the phases. Empty when pictures are missing.
std::vector<Frame> MovingScene(const QString &folder);
// The frame as the engines hand it out: bottom-up BGR24 rows padded to 4 bytes.
std::vector<unsigned char> BottomUpBgr(const QImage &image);
double IoU(const QRect &a, const QRect &b);

} // namespace faceframes
