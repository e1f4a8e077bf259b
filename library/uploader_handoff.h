#pragma once
// Handing selected photos to the separate upload tool: the tool is started
// without arguments and finds the photos' paths in "Talvora.xml" in the
// storage base folder, rewritten whole by every command:
//   <?xml version="1.0" encoding="UTF-8"?><Talvora><Photo number="0">/full/path</Photo>...</Talvora>
#include <QDomDocument>
#include <QDomElement>
#include <QString>

class QWidget;

namespace library {

class MediaLibrary;

class UploaderHandoff {
public:
    // The tool's file name in the product folder; the Windows name is taken
    // when only that one is there.
    static inline const QString kToolName = QStringLiteral("VembloFlickrUploader");
    static inline const QString kToolNameExe = QStringLiteral("VembloFlickrUploader.exe");

    // The whole command, steps in order: selection ("No items were
    // selected!!"), running check ("Filckr Uploader already exist!", the file
    // stays as it was), document, launch ("Launch FilckrUploader fail", the
    // file is written all the same), the selected paths appended, save
    // (atomic; a failure is reported and the old file stays whole).
    void OnUploadToFlickr(const MediaLibrary &library, int mode, const QString &handoffFile, QWidget *owner);

    // <program files>/Talvora/VembloFlickrUploader (or ...Uploader.exe when
    // only that exists); empty when there is no program-files folder.
    static QString GetUploaderPath();
    // True while a copy of the tool runs, under either name, in any case.
    static bool IsUploaderRunning();
    // Starts from <?xml version="1.0" encoding="UTF-8"?><Talvora/>.
    static bool CreateUploadDocument(QDomDocument *document);
    static QDomElement AppendPhotoElement(QDomDocument &document, QDomElement &root, const QString &elementName,
                                          const QString &attributeName, const QString &attributeValue,
                                          const QString &text);
    // Replaces file with the document, or leaves it untouched and returns the
    // reason. Empty on success.
    static QString SaveUploadDocument(const QDomDocument &document, const QString &file);
};

} // namespace library
