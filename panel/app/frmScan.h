#pragma once
// "Pattern Scan": the window over the panel's pattern scan (panel::PatternScan, owned by the
// main window and shared with the front panel's arrows). The boxes hold the scan's settings and
// go into it when a direction button is pressed; the caption, the Stop/Reset button and the
// Az/El boxes follow the scan as it runs. The window decides nothing about the scan itself.
//
// The window is non-modal and lives as long as its parent: Exit or closing it stops the scan,
// hides the window, saves the options and emits closed(), so the Tools menu entry can be
// unticked; show() brings it back with its values.
#include <QWidget>
#include <functional>

class QComboBox;
class QLineEdit;
class QToolButton;
class QPushButton;

namespace common {
class SettingsStore;
}
namespace panel {
class PatternScan;
}

class frmScan : public QWidget {
    Q_OBJECT
public:
    static constexpr const char* kHelpPage = "pattern_scan.html";

    // The scan must outlive the window's use of it; the window never touches it after the
    // scan is gone (it only listens to the scan's changed hook).
    frmScan(panel::PatternScan& scan, common::SettingsStore& store, QWidget* parent = nullptr);
    ~frmScan() override;

    // A direction button (0 El up, 1 Az up, 2 El down, 3 Az down): the boxes go into the scan
    // and it starts. A box that does not hold a valid value shows a message and nothing starts.
    void cmdDIR_Click(int direction);
    void cmdStopRst_Click();
    // Exit: stops the scan, hides the window, saves the options, emits closed().
    void cmdExit_Click();
    // Shows the scan's state: caption, Stop/Reset caption and tip, Az/El, and any setting the
    // scan took from elsewhere (the options loaded, the front panel's arrows).
    void refresh();

    // Opens a help page; the desktop's handler unless a test puts its own.
    std::function<void(const QString& page)> openHelp;
    // Shows a message about a box; a message box unless a test puts its own.
    std::function<void(const QString& text)> showMessage;

signals:
    void closed();

protected:
    void showEvent(QShowEvent* e) override;
    void closeEvent(QCloseEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;

private:
    struct Fields {
        double scanRate = 0, stopDegrees = 0;
        int rateMs = 0, n8 = 0, mode = 0;
        bool operator==(const Fields&) const = default;
    };
    void build();
    // The boxes into the scan's fields; false (with the message shown when report) when a box
    // holds no valid value; the valid boxes go in either way.
    bool feed(bool report);
    Fields fields() const;
    void showFields(bool force);
    void exit();

    panel::PatternScan& scan_;
    common::SettingsStore& store_;
    QLineEdit* txtScan_ = nullptr;
    QLineEdit* text2_ = nullptr;
    QLineEdit* txtRate_ = nullptr;
    QLineEdit* txtN8_ = nullptr;
    QComboBox* combo1_ = nullptr;
    QLineEdit* text3_ = nullptr;
    QLineEdit* text4_ = nullptr;
    QToolButton* cmdDIR_[4] = {};
    QPushButton* cmdStopRst_ = nullptr;
    QPushButton* cmdExit_ = nullptr;
    Fields shown_;       // the scan's settings as the boxes last showed them
    bool loaded_ = false;
};
