#pragma once
// korrin's main window: the terminal screen txtTerm, the panel display strip of the panel paths,
// the handshake line boxes, the connect indicator, the upload buttons, the toolbar, the status
// bar and the menus. It renders the terminal logic's state and forwards events to it.
#include "common/Endpoint.h"
#include "common/gui/frmFindTAV.h"
#include "terminal/core/CommsLog.h"
#include "terminal/core/ModuleCommands.h"
#include "terminal/core/ModulePaths.h"
#include "terminal/core/Nmea.h"
#include "terminal/core/Terminal.h"
#include "terminal/core/TextSender.h"
#include "terminal/params/ParamDump.h"
#include "terminal/params/SaveReset.h"
#include "terminal/upload/AutoUpload.h"
#include "terminal/upload/UploadEngine.h"
#include "terminal/upload/UploadHistory.h"

#include <QMainWindow>
#include <array>
#include <functional>
#include <memory>
#include <vector>

class QAction;
class QCheckBox;
class QFrame;
class QLabel;
class QLineEdit;
class QMenu;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QToolBar;
class QTimer;

namespace common {
class SettingsStore;
}

class frmTerminal : public QMainWindow, public term::TerminalUi {
    Q_OBJECT
public:
    frmTerminal(common::Clock& clock, common::SettingsStore& store, term::Terminal::LinkFactory makeLink,
                int copy = 1, QWidget* parent = nullptr);
    ~frmTerminal() override;

    // Start-up: settings, module path, MSwait, and the link opened once.
    void Form_Load();
    // The same with a link given on the command line for this run (stored settings untouched).
    void Form_LoadWith(const common::Endpoint& endpoint);

    term::Terminal& terminal() { return *term_; }
    term::ModulePaths& modulePaths() { return *paths_; }
    term::TextSender& textSender() { return *sender_; }
    term::CommsLog& commsLog() { return *log_; }
    term::Nmea& nmea() { return *nmea_; }
    term::SaveReset& saveReset() { return *saveReset_; }
    term::ParamDump& paramDump() { return *dump_; }
    upload::UploadEngine& uploads() { return *upload_; }
    upload::AutoUpload& autoUpload() { return *autoUpload_; }
    // The upload history the window's uploads are written to (tests put it elsewhere).
    upload::UploadHistory& uploadHistory() { return history_; }

    // File choices: tests answer through this (empty = cancelled); when empty a file dialog is
    // shown. save is true for a save dialog.
    std::function<std::string(bool save, const std::string& title, const std::string& filter)> fileHook;
    std::string chooseFile(bool save, const std::string& title, const std::string& filter);
    // A save dialog that proposes a file name (the parameter dumps); fileHook answers it too.
    std::string chooseSaveFile(const std::string& title, const std::string& filter, const std::string& defaultName);

    void mnuStartLog_Click();
    // "Find Local and Remote TAVs (UDP Broadcast)": the search window, ticked while open.
    void mnuFindTav_Click();
    FindTavSetup findTavSetup; // tests put loopback addresses here
    void mnuSendText_Click();
    void mnuParamUpload_Click();
    // The cancel window of text sending and modem tune (frmCancelSend), kept above the terminal
    // without blocking it.
    QWidget* cancelWindow() const { return cancelWindow_; }
    // The parameter dump's progress window ("Please Wait"), kept above the terminal without
    // blocking it; its Cancel stops the dump.
    QWidget* dumpWindow() const { return dumpWindow_; }
    common::SettingsStore& store() { return store_; }
    int nUDPO() const { return copy_; }

    // Hooks the rest of the window fills: the properties dialog, and work to do before closing
    // (closing the log file).
    std::function<void()> onProperties;
    std::function<void()> onClosing;

    // Tests answer message boxes through this; when empty a real box is shown.
    std::function<Answer(const std::string& text, const std::string& title, Buttons, Icon)> messageHook;

    // TerminalUi
    Answer message(const std::string& text, const std::string& title, Buttons b, Icon i) override;
    Answer ask(const std::string& text, const std::string& title, Buttons b, Icon i, Answer defaultButton) override;
    void refresh() override;

    void mnuProp_Click();
    void mnuAbout_Click();
    void LayoutTerminal();
    // Brings txtTerm up to date with the screen at once (it is otherwise redrawn within 40 ms).
    void renderScreen();
    // Twips of the original layout to pixels of this screen (1440 twips to the inch).
    int twips(int t) const;

protected:
    void closeEvent(QCloseEvent* e) override;
    bool eventFilter(QObject* o, QEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;

private:
    void load(const common::Endpoint* endpoint);
    void buildWindow();
    void buildMenus();
    void buildToolbar();

    common::Clock& clock_;
    common::SettingsStore& store_;
    int copy_;
    std::unique_ptr<term::Terminal> term_;
    std::unique_ptr<term::ModulePaths> paths_;
    std::unique_ptr<term::ModuleCommands> commands_;
    std::unique_ptr<term::TextSender> sender_;
    std::unique_ptr<term::Nmea> nmea_;
    std::unique_ptr<term::CommsLog> log_;
    std::unique_ptr<term::SaveReset> saveReset_;
    std::unique_ptr<term::ParamDump> dump_;
    QWidget* dumpWindow_ = nullptr;
    QProgressBar* dumpBar_ = nullptr;
    void showDumpWindow(bool show);
    void buildDumpMenus(QMenu* tools);
    upload::UploadHistory history_;
    std::unique_ptr<upload::UploadEngine> upload_;
    std::unique_ptr<upload::AutoUpload> autoUpload_;
    QWidget* cancelWindow_ = nullptr;
    QLabel* cancelText_ = nullptr;
    std::function<void()> cancelAction_;
    void showCancelWindow(const std::string& caption, const std::string& text, std::function<void()> onCancel);
    void hideCancelWindow();
    void applyMenuState();
    QMenu* toolsMenu(const std::string& path);
    std::vector<std::pair<term::ModulePath, QAction*>> pathActions_;
    std::vector<QAction*> sequenceActions_; // disabled while a long sequence runs
    QAction* mnuStopLog_ = nullptr;
    QAction* mnuStartLog_ = nullptr;
    QAction* mnuLoop_ = nullptr;
    QAction* mnuExpert_ = nullptr;
    QAction* mnuModemTune_ = nullptr;
    QAction* mnuAcuResetManual_ = nullptr;
    QAction* mnuRemUpload_ = nullptr;
    QAction* mnuFindTav_ = nullptr;
    frmFindTAV* findTav_ = nullptr;
    std::vector<QAction*> acuDumpActions_, pcuDumpActions_;

    QPlainTextEdit* txtTerm_ = nullptr;
    QWidget* panelArea_ = nullptr;
    QLineEdit* txtLine1_ = nullptr;
    QLineEdit* txtLine2_ = nullptr;
    QLineEdit* txtLine3_ = nullptr;
    QLineEdit* txtLine4_ = nullptr;
    QLineEdit* txtLine6U_ = nullptr;
    QLineEdit* txtLine6T_ = nullptr;
    std::array<QCheckBox*, 5> hs_{}; // DTR RTS CTS DSR DCD
    QLabel* lblOnOff_ = nullptr;
    QFrame* fraHSBlock_ = nullptr;
    QLabel* imgConnected_ = nullptr;
    QLabel* imgNotConnected_ = nullptr;
    QPushButton* cmdStart_ = nullptr;
    QPushButton* cmdErase_ = nullptr;
    QPushButton* cmdUpload_ = nullptr;
    QPushButton* cmdAUpload_ = nullptr;
    QPushButton* Command5_ = nullptr; // "S9": restarts a DVB or PCU bootloader
    std::vector<QAction*> manualUploadActions_; // enabled while the link is open
    QToolBar* tbrToolBar_ = nullptr;
    std::array<QLabel*, 4> sbr_{}; // Status, Settings, ConnectTime, Device
    QAction* mnuOpen_ = nullptr;
    QAction* mnuHex_ = nullptr;
    std::array<QAction*, 6> mnuPace_{};

    QTimer* renderTimer_ = nullptr;
    std::uint64_t shownTotal_ = 0; // screen characters already in txtTerm
    std::uint64_t shownFrom_ = 0;  // where in the running count the text in txtTerm begins
    bool shownEndsInCr_ = false;
    int viewColumn_ = 0;
    std::uint32_t hexTail_ = 0; // the last four characters shown, to break after "<0A>"

};
