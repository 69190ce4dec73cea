#pragma once
// velmar's main window: the emulated front panel (display lines, keys, arrows, entry field),
// the indicator lamps, the antenna choice, the status bar and the menus. It renders the
// panel's state and forwards events to the logic; it decides no protocol behaviour itself.
#include "common/gui/Desktop.h"
#include "common/gui/frmFindTAV.h"
#include "panel/core/PanelCore.h"
#include "panel/graphs/CaptureReplay.h"
#include "panel/graphs/ImageSurface.h"
#include "panel/graphs/PanelGraphs.h"
#include "panel/tools/PatternScan.h"

#include <QImage>
#include <QMainWindow>
#include <QPointer>
#include <array>
#include <functional>
#include <memory>
#include <optional>

class QAction;
class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QRadioButton;
class QTimer;
class QToolButton;
class LampWidget;
class GraphView;
class frmMsg;
class frmComDiag;
class frmLOS;
class QPrinter;
class frmScan;
class frmN7;
class frmBurn;
class frmCapture;
class QBoxLayout;

namespace common {
class SettingsStore;
}

class frmMain : public QMainWindow, public panel::PanelUi, public panel::FileUi {
    Q_OBJECT
public:
    frmMain(common::Clock& clock, common::SettingsStore& store, panel::PanelLink::LinkFactory makeLink,
            QWidget* parent = nullptr);
    ~frmMain() override;

    // Runs the start-up sequence (the window is shown in the middle of it, before the link opens).
    void Form_Load();

    panel::PanelShared& shared() { return shared_; }
    panel::MainState& state() { return main_; }
    panel::PanelLink& link() { return core_->link; }
    panel::FrontPanel& frontPanel() { return core_->front; }
    panel::Decoder& decoder() { return core_->decoder; }
    panel::Indicators& indicators() { return core_->indicators; }
    panel::PatternScan& patternScan() { return *scan_; }
    panel::GraphModel& graph() { return graphs_->graph; }
    panel::ParamDump& paramDump() { return graphs_->dump; }
    panel::DataFiles& dataFiles() { return graphs_->files; }
    const panel::ImageSurface& surface() const { return surface_; }
    frmMsg* progressWindow() const { return msg_; }
    frmComDiag* comDiag() const { return diag_; }
    // Tools menu "&Comm Diagnostics": shows the window (ticked while it is open).
    void mnuDiag_Click();
    // Tools menu "&LOS Pointing": shows the line-of-sight window (ticked while it is open).
    void mnuLOS_Click();
    frmLOS* los() const { return los_; }
    common::SettingsStore& store() { return store_; }
    common::Clock& clock() { return clock_; }

    // Tests answer message boxes through this; when empty a real box is shown.
    std::function<Answer(const std::string& text, const std::string& title, Buttons, Icon)> messageHook;

    // Tests answer the save dialog and the Yes/No questions through these; when empty the real
    // dialog or box is shown.
    std::function<std::optional<std::string>(const std::string& filter, const std::string& fileName)> saveDialogHook;
    std::function<bool(const std::string& question)> questionHook;

    // PanelUi
    Answer message(const std::string& text, const std::string& title, Buttons b, Icon i) override;
    void selectAntennaButton(int index) override;
    void refresh() override;
    void dumpFileClosed(bool wasDataLog) override;
    void diagnosticsReply(const std::string& line) override;

    // FileUi
    std::optional<std::string> saveFileDialog(const std::string& filter, const std::string& fileName) override;
    bool askYesNo(const std::string& question) override;
    void showError(const std::string& text) override;
    void showMessage(const std::string& text) override;

    void mnuProp_Click();
    void mnuAbout_Click();
    void mnuActive_Click();
    void mnuSetup_Click();
    void mnuExit_Click();
    // Tools menu, "Find Local and Remote TAVs (UDP Broadcast)": shows the discovery window
    // (non-modal; the entry is ticked while it is open).
    void mnuFindTav_Click();
    // How the discovery window is made: its network addresses and hooks. The window's
    // "Configure Port" is set to open CommPort Properties.
    FindTavSetup findTavSetup;
    frmFindTAV* findTav() const { return findTav_; }
    // Status menu: fill the pop-up from the stored words and show it (at the cursor).
    void mnuShowA_Click();
    void mnuShowP_Click();
    void mnuShowE_Click();
    // An indicator label clicked (Label1 index); waits for the start-up tick first.
    void Label1_Click(int index);
    int printCopies() const { return copies_; }

    // ---- colours, print screen, parameter upload
    panel::ParamUpload& paramUpload() { return graphs_->upload; }
    // Tools menu "Parameter Upload (Send Param.txt)".
    void mnuParamUP_Click();
    // A colour menu entry (index into panel::kColorEntries): the colour dialog, and on OK the
    // colour stored, its marker set and the graph redrawn.
    void mnuColor_Click(int entry);
    void mnuLoadD_Click();
    void mnuLoadW_Click();
    void mnuReLoad_Click();
    void mnuSave_Click();
    // "Print &Screen": the printer dialog, then printScreen.
    void mnuPrint_Click();
    // Prints the whole window with the print-friendly graph onto the printer, then restores the
    // screen drawing; returns the image printed (empty when the printer did not start).
    QImage printScreen(QPrinter& printer);
    void applyColors(const panel::GraphColors& colors);

    // Tools menu "Pattern &Scan", "N7 Parameter Tool" (a second click hides it) and
    // "Burn-In Room Excersise": each window is ticked while it is shown.
    void mnuScan_Click();
    void mnuN7Par_Click();
    void mnuBurn_Click();
    frmScan* scanWindow() const { return scanWin_; }
    frmN7* n7() const { return n7_; }
    frmBurn* burn() const { return burn_; }

    // Capture replay: "L&oad Data Log", "<", ">", "&Unload Data Log", and the "Capture" window.
    panel::CaptureReplay& capture() { return *capture_; }
    void cmdCapture_Click();
    frmCapture* captureWindow() const { return captureWin_; }

    // Tests answer the colour dialog, the printer dialog and the open dialog through these; when
    // empty the real dialog is shown. nullopt / false = Cancel.
    std::function<std::optional<panel::Rgb>(panel::Rgb current, const std::string& title)> colorDialogHook;
    std::function<bool(QPrinter&)> printDialogHook;
    std::function<std::optional<std::string>(const std::string& title, const std::string& filter,
                                             const std::string& fileName)>
        openDialogHook;
    std::optional<std::string> openFileDialog(const std::string& title, const std::string& filter,
                                              const std::string& fileName);

    // The pop-up menus, for tests: "Display ACU", "Display PCU", "Display Error", "Mode Display",
    // "Sat Display".
    QMenu* popup(const char* objectName) const;

protected:
    void closeEvent(QCloseEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    bool eventFilter(QObject* o, QEvent* e) override;

private:
    void buildMenus();
    void buildGraphMenus();
    void buildToolMenus();
    void setMarkerColors();
    void buildCaptureControls(QWidget* area, QBoxLayout* row);
    void captureChanged();
    QWidget* buildGraph(QWidget* parent);
    void refreshGraph();
    void graphChanged();
    void buildPanel();
    QWidget* buildFrontPanel(QWidget* parent);
    QWidget* buildIndicators(QWidget* parent);
    void fillBitMenu(QMenu* menu, const std::vector<panel::BitMenuEntry>& entries);
    void showPopup(QMenu* menu);

    common::Clock& clock_;
    common::SettingsStore& store_;
    panel::PanelShared shared_;
    panel::MainState main_;
    std::unique_ptr<panel::PatternScan> scan_;
    std::unique_ptr<panel::PanelCore> core_;

    std::array<QLineEdit*, 4> text5_{};
    std::array<QRadioButton*, 4> optAntenna_{};
    std::array<LampWidget*, 8> lamps_{};
    std::array<QLabel*, 9> labels_{};
    QLineEdit* txtEAgc_ = nullptr;
    std::array<QLabel*, 3> statusPanels_{};
    QTimer* blink_ = nullptr;
    bool blinkOn_ = true;
    QAction* mnuOpen_ = nullptr;
    std::array<QAction*, 3> mnuTime_{};
    std::array<QAction*, 4> mnuPace_{};
    QAction* mnuDVB_ = nullptr;
    QAction* mnu70M_ = nullptr;
    QAction* mnuQuery_ = nullptr;
    QAction* mnuSystemTypeEntry_ = nullptr; // "System Type" of the Mode Display menu
    QMenu* mnuSysT_ = nullptr;
    QMenu* mnuPolT_ = nullptr;
    std::array<QAction*, 8> sysActions_{};
    std::array<QAction*, 8> polActions_{};
    QMenu* mnuDispA_ = nullptr;
    QMenu* mnuDispP_ = nullptr;
    QMenu* mnuDispE_ = nullptr;
    QMenu* mnuModeDisplay_ = nullptr;
    QMenu* mnuSatDisplay_ = nullptr;
    QAction* mnuFindTav_ = nullptr;
    QPointer<frmFindTAV> findTav_;
    bool exiting_ = false;
    int copies_ = 1;

    // ---- the graph, the dump and the data files
    panel::ImageSurface surface_;
    std::unique_ptr<panel::PanelGraphs> graphs_;
    QWidget* graphArea_ = nullptr;
    GraphView* picture_ = nullptr;
    std::array<QComboBox*, 5> combo_{};
    std::array<QLabel*, 5> label2_{};
    std::array<QFrame*, 4> line1_{};
    QToolButton* cmdGRAPH_ = nullptr;
    QLineEdit* txtNotes_ = nullptr;
    std::array<QAction*, panel::kGraphModes> mnuGraph_{};
    QAction* mnuPanel_ = nullptr;
    QMenu* mnuTool2_ = nullptr;
    std::array<QAction*, 3> xyChecks_{};
    QAction* mnuLog_ = nullptr;
    QAction* mnuSaveScreen_ = nullptr;
    QAction* mnuParamDump_ = nullptr;
    QAction* mnuParamUP_ = nullptr;
    QAction* mnuPrint_ = nullptr;
    QMenu* mnuColor_ = nullptr;
    frmMsg* msg_ = nullptr;
    frmComDiag* diag_ = nullptr;
    QAction* mnuDiag_ = nullptr;
    frmLOS* los_ = nullptr;
    QAction* mnuLOS_ = nullptr;
    class Progress;
    std::unique_ptr<Progress> progress_;
    std::unique_ptr<Progress> uploadProgress_;
    frmScan* scanWin_ = nullptr;
    frmN7* n7_ = nullptr;
    frmBurn* burn_ = nullptr;
    QAction* mnuScan_ = nullptr;
    QAction* mnuN7Par_ = nullptr;
    QAction* mnuBurn_ = nullptr;
    class CaptureAdapter;
    std::unique_ptr<panel::CaptureUi> captureUi_;
    std::unique_ptr<panel::CaptureReplay> capture_;
    frmCapture* captureWin_ = nullptr;
    QPushButton* cmdLDLScrollBack_ = nullptr;
    QPushButton* cmdLDLScrollForward_ = nullptr;
    QAction* mnuLoadDataLog_ = nullptr;
    QAction* mnuUnloadDataLog_ = nullptr;
    bool graphShownBefore_ = false;
};

