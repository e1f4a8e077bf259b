#include "library/uploader_handoff.h"

#include "library/media_library.h"
#include "platform/process/process_launcher.h"
#include "platform/process/process_list.h"
#include "platform/shell/shell.h"
#include "platform/ui/message_box.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>
#include <QTextStream>

namespace library {

QString UploaderHandoff::GetUploaderPath()
{
    const auto programFiles = shell::ProgramFilesFolder();
    if (!programFiles)
        return {};
    const QString folder = *programFiles + QStringLiteral("/Talvora/");
    if (!QFileInfo::exists(folder + kToolName) && QFileInfo::exists(folder + kToolNameExe))
        return folder + kToolNameExe;
    return folder + kToolName;
}

bool UploaderHandoff::IsUploaderRunning()
{
    return process::IsProcessRunning(kToolName) || process::IsProcessRunning(kToolNameExe);
}

bool UploaderHandoff::CreateUploadDocument(QDomDocument *document)
{
    if (!document)
        return false;
    return static_cast<bool>(
        document->setContent(QByteArrayLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?><Talvora/>")));
}

QDomElement UploaderHandoff::AppendPhotoElement(QDomDocument &document, QDomElement &root, const QString &elementName,
                                                const QString &attributeName, const QString &attributeValue,
                                                const QString &text)
{
    QDomElement element = document.createElement(elementName);
    element.setAttribute(attributeName, attributeValue);
    element.appendChild(document.createTextNode(text));
    root.appendChild(element);
    return element;
}

QString UploaderHandoff::SaveUploadDocument(const QDomDocument &document, const QString &file)
{
    QDir().mkpath(QFileInfo(file).absolutePath());
    QSaveFile out(file);
    if (!out.open(QIODevice::WriteOnly))
        return out.errorString();
    // Qt writes the declaration with single quotes and a line break; the tool
    // gets it exactly as the document started, then the tree with no
    // whitespace added (-1).
    QString tree;
    QTextStream stream(&tree);
    document.documentElement().save(stream, -1);
    stream.flush();
    const QByteArray bytes = QByteArrayLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>") + tree.toUtf8();
    if (out.write(bytes) != bytes.size()) {
        const QString reason = out.errorString();
        out.cancelWriting();
        return reason;
    }
    if (!out.commit())
        return out.errorString();
    return {};
}

void UploaderHandoff::OnUploadToFlickr(const MediaLibrary &library, int mode, const QString &handoffFile,
                                       QWidget *owner)
{
    const QStringList selected = library.SelectedFilePaths(mode);
    if (selected.isEmpty()) {
        ui::InformationBox(owner, QStringLiteral("No items were selected!!"));
        return;
    }
    if (IsUploaderRunning()) {
        ui::InformationBox(owner, QStringLiteral("Filckr Uploader already exist!"));
        return;
    }
    QDomDocument document;
    if (!CreateUploadDocument(&document))
        return;
    if (!process::LaunchProcess(GetUploaderPath()))
        ui::InformationBox(owner, QStringLiteral("Launch FilckrUploader fail"));
    QDomElement root = document.documentElement();
    for (int k = 0; k < selected.size(); ++k)
        AppendPhotoElement(document, root, QStringLiteral("Photo"), QStringLiteral("number"), QString::number(k),
                           selected[k]);
    const QString failure = SaveUploadDocument(document, handoffFile);
    if (!failure.isEmpty())
        ui::InformationBox(owner, QStringLiteral("Could not write the upload list %1: %2").arg(handoffFile, failure));
}

} // namespace library
