// korrin's window needs a QApplication for the whole run; it runs offscreen unless told
// otherwise.
#include <QApplication>
#include <gtest/gtest.h>

namespace {
QtMessageHandler previous = nullptr;

// The offscreen platform says for every window that it cannot pass size hints on; nothing
// else is held back.
void quietOffscreen(QtMsgType type, const QMessageLogContext& ctx, const QString& msg)
{
    if (msg.contains(QLatin1String("propagateSizeHints")) || msg.contains(QLatin1String("does not support raise()")))
        return;
    if (previous)
        previous(type, ctx, msg);
}
} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    previous = qInstallMessageHandler(quietOffscreen);
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
