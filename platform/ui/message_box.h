#pragma once
// The information message box: title "Talvora", an OK button, the information
// icon, modal to its owner. Tests install a presenter that records the texts
// instead of blocking on a modal loop.
#include <QString>
#include <QStringList>
#include <mutex>

class QWidget;

namespace ui {

inline const QString kApplicationTitle = QStringLiteral("Talvora");

// Shows text in the information box owned by owner (may be null).
void InformationBox(QWidget *owner, const QString &text);

// The error box: the given title, the error icon, an OK button.
void ErrorBox(QWidget *owner, const QString &title, const QString &text);

class MessageBoxPresenter {
public:
    virtual ~MessageBoxPresenter() = default;
    virtual void ShowInformation(QWidget *owner, const QString &title, const QString &text) = 0;
    // Recorded like an information box unless a presenter tells them apart.
    virtual void ShowError(QWidget *owner, const QString &title, const QString &text)
    {
        ShowInformation(owner, title, text);
    }
};

// Replaces the presenter while it lives; texts are recorded, nothing is shown.
class RecordingPresenter : public MessageBoxPresenter {
public:
    RecordingPresenter();
    ~RecordingPresenter() override;
    RecordingPresenter(const RecordingPresenter &) = delete;
    RecordingPresenter &operator=(const RecordingPresenter &) = delete;

    void ShowInformation(QWidget *owner, const QString &title, const QString &text) override;
    QStringList Texts() const;
    int Count(const QString &text) const { return static_cast<int>(Texts().count(text)); }
    QString LastTitle() const;
    void Clear();

private:
    mutable std::mutex mutex_;
    QStringList texts_;
    QString lastTitle_;
    MessageBoxPresenter *previous_;
};

// Makes presenter the current one and returns the previous (null = real boxes).
MessageBoxPresenter *SetPresenter(MessageBoxPresenter *presenter);

} // namespace ui
