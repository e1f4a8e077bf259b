#include "tracking/face_detect.h"

#include "platform/dynlib/dynamic_library.h"
#include "platform/ui/message_box.h"

CFaceDetect::~CFaceDetect()
{
    // Entries point into the module; clear them before it is unloaded.
    initEntry = nullptr;
    detectEntry = nullptr;
    objectEntry = nullptr;
    module.reset();
}

bool CFaceDetect::Bind(QWidget *owner)
{
    module = dynlib::DynamicLibrary::Load(QString::fromLatin1(kLibraryFile));
    if (!module) {
        ui::InformationBox(owner, QStringLiteral("Can not load facedetect.dll and tracing function will be disabled "));
        return false;
    }
    initEntry = module->Function<InitFn>("RCobj_InitFaceDetect");
    detectEntry = module->Function<DetectFn>("RCobj_detectfaces");
    objectEntry = module->Function<GetObjectFn>("RCobj_getObject");
    return true;
}
