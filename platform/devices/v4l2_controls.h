#pragma once
// The controls of a V4L2 camera (brightness, contrast, white balance, ...),
// read and written on its device node. The ioctls sit behind a small interface
// so the camera property dialog can be exercised with a test double.
#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

namespace devices {

struct V4l2Control {
    enum class Type { Integer, Boolean, Menu, Button };
    std::uint32_t id = 0;
    QString name;
    Type type = Type::Integer;
    std::int32_t minimum = 0;
    std::int32_t maximum = 0;
    std::int32_t step = 1;
    std::int32_t defaultValue = 0;
    std::vector<std::pair<std::int32_t, QString>> menu; // Menu: value and text
    bool readOnly = false;
    bool inactive = false; // e.g. manual white balance while auto is on
};

class V4l2ControlDevice {
public:
    virtual ~V4l2ControlDevice() = default;
    // The user controls the device offers, in the driver's order.
    virtual std::vector<V4l2Control> QueryControls() = 0;
    virtual bool GetControl(std::uint32_t id, std::int32_t *value) = 0;
    virtual bool SetControl(std::uint32_t id, std::int32_t value) = 0;
};

// The device node (e.g. "/dev/video0") opened for its controls; null with
// *error set when it cannot be opened.
std::unique_ptr<V4l2ControlDevice> OpenV4l2Device(const QString &node, QString *error = nullptr);

// Tests replace how device nodes are opened; an empty function restores the
// real one. Returns the previous opener.
using V4l2Opener = std::function<std::unique_ptr<V4l2ControlDevice>(const QString &node, QString *error)>;
V4l2Opener SetV4l2Opener(V4l2Opener opener);

} // namespace devices
