#include "platform/devices/v4l2_controls.h"

#include <linux/videodev2.h>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <optional>
#include <sys/ioctl.h>
#include <unistd.h>

namespace devices {
namespace {

int Ioctl(int fd, unsigned long request, void *arg)
{
    int r;
    do {
        r = ioctl(fd, request, arg);
    } while (r == -1 && errno == EINTR);
    return r;
}

class DeviceNode : public V4l2ControlDevice {
public:
    explicit DeviceNode(int fd) : fd_(fd) {}
    ~DeviceNode() override { close(fd_); }
    DeviceNode(const DeviceNode &) = delete;
    DeviceNode &operator=(const DeviceNode &) = delete;

    std::vector<V4l2Control> QueryControls() override
    {
        std::vector<V4l2Control> controls;
        v4l2_queryctrl query{};
        query.id = V4L2_CTRL_FLAG_NEXT_CTRL;
        while (Ioctl(fd_, VIDIOC_QUERYCTRL, &query) == 0) {
            if (auto control = Convert(query))
                controls.push_back(*control);
            query.id |= V4L2_CTRL_FLAG_NEXT_CTRL;
        }
        return controls;
    }

    bool GetControl(std::uint32_t id, std::int32_t *value) override
    {
        v4l2_control control{};
        control.id = id;
        if (Ioctl(fd_, VIDIOC_G_CTRL, &control) != 0)
            return false;
        *value = control.value;
        return true;
    }

    bool SetControl(std::uint32_t id, std::int32_t value) override
    {
        v4l2_control control{};
        control.id = id;
        control.value = value;
        return Ioctl(fd_, VIDIOC_S_CTRL, &control) == 0;
    }

private:
    std::optional<V4l2Control> Convert(const v4l2_queryctrl &query)
    {
        if (query.flags & V4L2_CTRL_FLAG_DISABLED)
            return std::nullopt;
        V4l2Control control;
        control.id = query.id;
        control.name = QString::fromUtf8(reinterpret_cast<const char *>(query.name),
                                         int(strnlen(reinterpret_cast<const char *>(query.name),
                                                     sizeof(query.name))));
        control.minimum = query.minimum;
        control.maximum = query.maximum;
        control.step = query.step > 0 ? query.step : 1;
        control.defaultValue = query.default_value;
        control.readOnly = query.flags & (V4L2_CTRL_FLAG_READ_ONLY | V4L2_CTRL_FLAG_GRABBED);
        control.inactive = query.flags & V4L2_CTRL_FLAG_INACTIVE;
        switch (query.type) {
        case V4L2_CTRL_TYPE_INTEGER:
            control.type = V4l2Control::Type::Integer;
            break;
        case V4L2_CTRL_TYPE_BOOLEAN:
            control.type = V4l2Control::Type::Boolean;
            break;
        case V4L2_CTRL_TYPE_BUTTON:
            control.type = V4l2Control::Type::Button;
            break;
        case V4L2_CTRL_TYPE_MENU:
        case V4L2_CTRL_TYPE_INTEGER_MENU:
            control.type = V4l2Control::Type::Menu;
            control.menu = MenuItems(query);
            break;
        default:
            return std::nullopt; // control classes, strings, 64-bit: not offered
        }
        return control;
    }

    std::vector<std::pair<std::int32_t, QString>> MenuItems(const v4l2_queryctrl &query)
    {
        std::vector<std::pair<std::int32_t, QString>> items;
        for (std::int32_t i = query.minimum; i <= query.maximum && i - query.minimum < 256; ++i) {
            v4l2_querymenu menu{};
            menu.id = query.id;
            menu.index = std::uint32_t(i);
            if (Ioctl(fd_, VIDIOC_QUERYMENU, &menu) != 0)
                continue; // gaps are allowed
            const QString text = query.type == V4L2_CTRL_TYPE_INTEGER_MENU
                                     ? QString::number(qlonglong(menu.value))
                                     : QString::fromUtf8(reinterpret_cast<const char *>(menu.name));
            items.emplace_back(i, text);
        }
        return items;
    }

    int fd_;
};

std::unique_ptr<V4l2ControlDevice> OpenNode(const QString &node, QString *error)
{
    const int fd = open(node.toLocal8Bit().constData(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        if (error)
            *error = QStringLiteral("cannot open %1: %2").arg(node, QString::fromLocal8Bit(strerror(errno)));
        return nullptr;
    }
    return std::make_unique<DeviceNode>(fd);
}

std::mutex g_mutex;
V4l2Opener g_opener;

} // namespace

std::unique_ptr<V4l2ControlDevice> OpenV4l2Device(const QString &node, QString *error)
{
    V4l2Opener opener;
    {
        std::lock_guard lock(g_mutex);
        opener = g_opener;
    }
    return opener ? opener(node, error) : OpenNode(node, error);
}

V4l2Opener SetV4l2Opener(V4l2Opener opener)
{
    std::lock_guard lock(g_mutex);
    std::swap(g_opener, opener);
    return opener;
}

} // namespace devices
