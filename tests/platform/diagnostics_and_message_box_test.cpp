#include "platform/diag/diagnostics.h"
#include "platform/ui/message_box.h"

#include <gtest/gtest.h>
#include <QLoggingCategory>
#include <thread>

namespace {

QStringList g_written;

void KeepChannelText(QtMsgType, const QMessageLogContext &context, const QString &text)
{
    if (QByteArray(context.category) == "talvora.debug")
        g_written.append(text);
}

class EnvironmentValue {
public:
    explicit EnvironmentValue(const char *name) : name_(name), saved_(qgetenv(name)), was_(qEnvironmentVariableIsSet(name)) {}
    ~EnvironmentValue() { was_ ? qputenv(name_, saved_) : qunsetenv(name_); }
    void Set(const char *value) { value ? qputenv(name_, value) : qunsetenv(name_); }

private:
    const char *name_;
    QByteArray saved_;
    bool was_;
};

} // namespace

TEST(Diagnostics, CaptureSeesTextsFromAnyThreadAndNests)
{
    diag::CaptureScope outer;
    diag::OutputDebugString(QStringLiteral("one"));
    {
        diag::CaptureScope inner;
        std::thread worker([] { diag::OutputDebugString(diag::Format("QueryInterface: %x", 0x80004002u)); });
        worker.join();
        EXPECT_EQ(inner.Lines(), QStringList{QStringLiteral("QueryInterface: 80004002")});
    }
    diag::OutputDebugString(QStringLiteral("two"));
    EXPECT_EQ(outer.Lines(), (QStringList{QStringLiteral("one"), QStringLiteral("two")}));
}

TEST(Diagnostics, TalvoraDebugSwitchesTheChannelOn)
{
    EnvironmentValue debug("TALVORA_DEBUG");
    debug.Set(nullptr);
    EXPECT_EQ(diag::DefaultDiagnosticsLevel(), QtInfoMsg);
    debug.Set("0");
    EXPECT_EQ(diag::DefaultDiagnosticsLevel(), QtInfoMsg);
    debug.Set("");
    EXPECT_EQ(diag::DefaultDiagnosticsLevel(), QtInfoMsg);
    debug.Set("1");
    EXPECT_EQ(diag::DefaultDiagnosticsLevel(), QtDebugMsg);
}

// Whether the channel writes or not, a capture scope sees every text.
TEST(Diagnostics, CaptureSeesTextsWhetherTheChannelWritesOrNot)
{
    if (qEnvironmentVariableIsSet("QT_LOGGING_RULES"))
        GTEST_SKIP() << "QT_LOGGING_RULES overrides the rules this test sets";
    const QtMessageHandler previous = qInstallMessageHandler(KeepChannelText);
    g_written.clear();
    diag::CaptureScope capture;
    QLoggingCategory::setFilterRules(QStringLiteral("talvora.debug.debug=false"));
    diag::OutputDebugString(QStringLiteral("while off"));
    QLoggingCategory::setFilterRules(QStringLiteral("talvora.debug.debug=true"));
    diag::OutputDebugString(QStringLiteral("while on"));
    QLoggingCategory::setFilterRules(QString());
    const bool onByDefault = talvoraDebug().isDebugEnabled();
    qInstallMessageHandler(previous);

    EXPECT_EQ(capture.Lines(), (QStringList{QStringLiteral("while off"), QStringLiteral("while on")}));
    EXPECT_EQ(g_written, QStringList{QStringLiteral("while on")});
    EXPECT_EQ(onByDefault, diag::DefaultDiagnosticsLevel() == QtDebugMsg) << "without rules the default level holds";
}

TEST(MessageBox, RecordingPresenterKeepsExactTextsAndTitle)
{
    ui::RecordingPresenter box;
    ui::InformationBox(nullptr, QStringLiteral("Can not load facedetect.dll and tracing function will be disabled "));
    ASSERT_EQ(box.Texts().size(), 1);
    EXPECT_TRUE(box.Texts().front().endsWith(' '));
    EXPECT_EQ(box.LastTitle(), QStringLiteral("Talvora"));
}

TEST(MessageBox, OffTheGuiThreadTheTextGoesToDiagnosticsInsteadOfABox)
{
    diag::CaptureScope capture;
    std::thread worker([] { ui::InformationBox(nullptr, QStringLiteral("from a worker")); });
    worker.join();
    EXPECT_TRUE(capture.Contains(QStringLiteral("message box: from a worker")));
}
