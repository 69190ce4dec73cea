#pragma once
// velmar's main window: the emulated front panel's display lines, the antenna choice, the
// Port Status lamp, the status bar and the menus. It renders the panel's state and forwards
// events to the link logic; it decides no protocol behaviour itself.
#include "panel/core/PanelLink.h"

#include <QMainWindow>
#include <array>
#include <functional>
#include <memory>

class QAction;
class QLabel;
class QLineEdit;
class QRadioButton;
class LampWidget;
class QPrinter;

namespace common {
class SettingsStore;
}

class frmMain : public QMainWindow, public panel::PanelUi {
    Q_OBJECT
public:
    frmMain(common::Clock& clock, common::SettingsStore& store, panel::PanelLink::LinkFactory makeLink,
            QWidget* parent = nullptr);
    ~frmMain() override;

    // Runs the start-up sequence (the window is shown in the middle of it, before the link opens).
    void Form_Load();

    panel::PanelShared& shared() { return shared_; }
    panel::MainState& state() { return main_; }
    panel::PanelLink& link() { return *link_; }
    common::SettingsStore& store() { return store_; }
    common::Clock& clock() { return clock_; }

    // Tests answer message boxes through this; when empty a real box is shown.
    std::function<Answer(const std::string& text, const std::string& title, Buttons, Icon)> messageHook;

    // PanelUi
    Answer message(const std::string& text, const std::string& title, Buttons b, Icon i) override;
    void selectAntennaButton(int index) override;
    void refresh() override;

    void mnuProp_Click();
    void mnuAbout_Click();
    void mnuActive_Click();
    void mnuSetup_Click();
    void mnuExit_Click();
    int printCopies() const { return copies_; }

protected:
    void closeEvent(QCloseEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    bool eventFilter(QObject* o, QEvent* e) override;

private:
    void buildMenus();
    void buildPanel();

    common::Clock& clock_;
    common::SettingsStore& store_;
    panel::PanelShared shared_;
    panel::MainState main_;
    std::unique_ptr<panel::PanelLink> link_;

    std::array<QLineEdit*, 4> text5_{};
    std::array<QRadioButton*, 4> optAntenna_{};
    LampWidget* portLamp_ = nullptr;
    QLabel* lblPortStatus_ = nullptr;
    std::array<QLabel*, 3> statusPanels_{};
    QAction* mnuOpen_ = nullptr;
    std::array<QAction*, 3> mnuTime_{};
    std::array<QAction*, 4> mnuPace_{};
    QAction* mnuDVB_ = nullptr;
    QAction* mnu70M_ = nullptr;
    QAction* mnuQuery_ = nullptr;
    bool exiting_ = false;
    int copies_ = 1;
};

// Opens a help page of the installed "html" folder with the desktop's handler.
void openHelpPage(const QString& page);
