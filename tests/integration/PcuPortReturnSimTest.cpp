// The wait for a USB port that goes while its unit restarts, against a real serial device: a
// pseudo-terminal reached through a fixed path (a symbolic link, as a USB adapter's name). The
// device goes when the terminal lets go of it and comes back under the same path, to a new
// pseudo-terminal, after a set time; the terminal's link is the real serial link, the time is
// virtual. Coming back before the 61st try the cycle completes on the new device; not coming
// back, the terminal stays disconnected and says so.
#include "DeviceEnd.h"

#include "common/Clock.h"
#include "terminal/core/ModulePaths.h"
#include "terminal/core/Terminal.h"
#include "terminal/core/TextSender.h"
#include "terminal/upload/UploadEngine.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <unistd.h>

namespace {

using common::Ms;

class Ui : public term::TerminalUi {
public:
    std::vector<std::string> messages;
    Answer message(const std::string& text, const std::string&, Buttons, Icon) override
    {
        messages.push_back(text);
        return Answer::Ok;
    }
    void refresh() override {}
};

// A USB device: a pseudo-terminal behind a fixed path, which can go and come back.
class UsbDevice {
public:
    explicit UsbDevice(std::string path) : path_(std::move(path)) { plugIn(); }
    ~UsbDevice() { unplug(); }

    void plugIn()
    {
        end_ = std::make_unique<benchlink::DeviceEnd>(true);
        end_->open();
        ::symlink(end_->ptyPath.c_str(), path_.c_str());
        ++plugs_;
    }
    void unplug()
    {
        ::unlink(path_.c_str());
        end_.reset(); // both ends of the pseudo-terminal close: the device is gone
    }
    bool present() const { return end_ != nullptr; }
    std::string read() { return end_ ? end_->read() : std::string(); }
    int plugs() const { return plugs_; }

private:
    std::string path_;
    std::unique_ptr<benchlink::DeviceEnd> end_;
    int plugs_ = 0;
};

class PortReturn : public ::testing::Test {
protected:
    PortReturn()
        : dir(std::filesystem::temp_directory_path() / ("korrin-usb-" + std::to_string(::getpid()))),
          t(clock, ui,
            [](const term::Terminal& term) -> std::unique_ptr<common::Link> {
                return std::make_unique<common::SerialLink>(term.devicePath, term.settings, 0);
            }),
          paths(t, nullptr), sender(t), engine(t, paths, sender)
    {
        std::filesystem::create_directories(dir);
        usb.emplace((dir / "ttyUSB-pcu").string());
        t.devicePath = (dir / "ttyUSB-pcu").string();
        paths.Select(term::ModulePath::USBpcu, false);
        clock.pump = [this] {
            QCoreApplication::processEvents(QEventLoop::AllEvents);
            onPump();
        };
    }
    ~PortReturn() override
    {
        clock.pump = nullptr;
        if (t.linkOpen())
            t.ToggleLink();
        usb.reset();
        std::filesystem::remove_all(dir);
    }
    bool onScreen(const std::string& line) const
    {
        return t.screen.text().find("\r\n" + line + "\r\n") != std::string::npos
               || t.screen.text().rfind(line + "\r\n", 0) == 0;
    }

    // The device goes as soon as the terminal has let go of it and, when back is set, comes
    // back that long after.
    void onPump()
    {
        if (!wentAt && !t.linkOpen() && usb->present()) {
            wentAt = clock.now();
            usb->unplug();
        }
        if (wentAt && back && !usb->present() && clock.now() >= *wentAt + *back)
            usb->plugIn();
    }

    std::filesystem::path dir;
    common::VirtualClock clock;
    Ui ui;
    term::Terminal t;
    term::ModulePaths paths;
    term::TextSender sender;
    upload::UploadEngine engine;
    std::optional<UsbDevice> usb;
    std::optional<Ms> wentAt, back;
};

TEST_F(PortReturn, ADeviceBackBeforeTheSixtyFirstTryCompletesTheCycleOnTheNewDevice)
{
    t.mnuOpen_Click();
    ASSERT_TRUE(t.linkOpen());
    // Back between the 60th and the 61st try: 1.5 s, then one try a second.
    back = Ms{1500 + 60 * 1000 + 500};
    const Ms began = clock.now();
    EXPECT_TRUE(engine.ClosePortAndWaitReopen());
    EXPECT_EQ(clock.now() - began, Ms{1500 + 61 * 1000}) << "the 61st try found it";
    EXPECT_TRUE(onScreen("Closing USB/Service port"));
    EXPECT_TRUE(onScreen("Waiting for application to restart"));
    EXPECT_TRUE(onScreen("Update Cycle Complete !!"));
    EXPECT_FALSE(onScreen("Port did not re-open with 60 seconds"));
    ASSERT_TRUE(t.linkOpen());
    EXPECT_EQ(usb->plugs(), 2) << "a new pseudo-terminal under the old name";

    // The link is the new device's: what the terminal sends arrives there.
    t.CommOut("?V\r\n");
    std::string got;
    for (int i = 0; i < 200 && got.size() < 4; ++i) {
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        got += usb->read();
        ::usleep(1000);
    }
    EXPECT_EQ(got, "?V\r\n");
    EXPECT_TRUE(ui.messages.empty()) << "failed opens are not reported: " << ui.messages.front();
}

TEST_F(PortReturn, ADeviceThatNeverComesBackLeavesTheTerminalDisconnected)
{
    t.mnuOpen_Click();
    ASSERT_TRUE(t.linkOpen());
    const Ms began = clock.now();
    EXPECT_FALSE(engine.ClosePortAndWaitReopen());
    EXPECT_EQ(clock.now() - began, Ms{1500 + 61 * 1000});
    EXPECT_TRUE(onScreen("Port did not re-open with 60 seconds"));
    EXPECT_FALSE(onScreen("Update Cycle Complete !!"));
    EXPECT_FALSE(t.linkOpen());
    EXPECT_FALSE(usb->present());
    EXPECT_TRUE(ui.messages.empty()) << "failed opens are not reported: " << ui.messages.front();
}

} // namespace
