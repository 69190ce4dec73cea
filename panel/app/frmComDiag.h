#pragma once
// "Comm Diagnostics": the window of the communication diagnostics tool. It shows the last
// command sent, the ACU's response and the entry box, the Stop box, and below them the common
// commands: the cmdRepeat buttons with the ACU and PCU pop-up menus and the torque drive
// tests. The logic (panel::ComDiag) decides what is sent; the window renders it.
//
// The window is non-modal and lives as long as its parent: closing it only hides it (and
// emits closed, so the Tools menu entry can be unticked); show() brings it back as it was.
#include "panel/tools/ComDiag.h"

#include <QWidget>
#include <array>
#include <functional>

class QAction;
class QCheckBox;
class QLineEdit;
class QMenu;
class QPushButton;
class QToolButton;
class QWidget;

class frmComDiag : public QWidget {
    Q_OBJECT
public:
    // The help page F1 opens.
    static constexpr const char* kHelpPage = "comm_diagonistics.html";

    frmComDiag(panel::PanelShared& shared, panel::MainState& main, common::Clock& clock, QWidget* parent = nullptr);
    ~frmComDiag() override;

    // The response to the last one-shot command (Text3), from the decoder.
    void showResponse(const std::string& line);
    // Shows the state again: the Stop box follows the program-wide flag, which the graph
    // modes and a closed port change too.
    void refresh();

    panel::ComDiag& logic() { return diag_; }
    QMenu* popup(const char* objectName) const;
    // Window height for the logic's height in twips (1440 to the inch), never less than the
    // controls shown need.
    int twips(int t) const;

    // Opens a help page; the desktop's handler unless a test puts its own.
    std::function<void(const QString& page)> openHelp;

signals:
    // The window was closed (hidden); the Stop box is unchecked and a running test aborted.
    void closed();

protected:
    void closeEvent(QCloseEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    bool eventFilter(QObject* o, QEvent* e) override;

private:
    void build();
    QMenu* buildMenu(const char* name, const char* title, const panel::DiagMenuEntry* entries, size_t count);
    void applyHeight();
    void showStatusMenu();

    panel::ComDiag diag_;
    QLineEdit* text1_ = nullptr;
    QLineEdit* text2_ = nullptr;
    QLineEdit* text3_ = nullptr;
    QCheckBox* chkSTOP_ = nullptr;
    QToolButton* command1_ = nullptr;
    QWidget* common_ = nullptr; // the frame of the common commands
    std::array<QPushButton*, panel::kDiagButtonSlots> cmdRepeat_{};
    QMenu* mnuACU_ = nullptr;
    QMenu* mnuPCU_ = nullptr;
    QMenu* mnuPStat_ = nullptr;
    std::array<QAction*, 18> pstat_{};
};
