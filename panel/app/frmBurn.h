#pragma once
// "Burn-In Excersise": the window of the burn-in exercise. It shows the log of the positions
// sent, the interval box and the countdown to the next position; the logic (panel::BurnIn)
// decides what is sent and when.
//
// The window is non-modal and lives as long as its parent: closing it stops the exercise,
// hides the window and emits closed(), so the Tools menu entry can be unticked.
#include "panel/tools/BurnIn.h"

#include <QWidget>
#include <functional>

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

class frmBurn : public QWidget {
    Q_OBJECT
public:
    static constexpr const char* kHelpPage = "burn_in.html";

    frmBurn(panel::PanelShared& shared, common::Clock& clock, QWidget* parent = nullptr);
    ~frmBurn() override;

    void Command1_Click(); // Start
    void Command2_Click(); // Stop
    void Command3_Click(); // Continue

    panel::BurnIn& logic() { return burn_; }

    // Opens a help page; the desktop's handler unless a test puts its own.
    std::function<void(const QString& page)> openHelp;
    // Shows a message (an interval that is not valid); a message box unless a test puts its own.
    std::function<void(const std::string& text)> showMessage;

signals:
    void closed();

protected:
    void closeEvent(QCloseEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;

private:
    void build();
    void refresh();

    panel::BurnIn burn_;
    QPlainTextEdit* text1_ = nullptr;
    QLineEdit* text2_ = nullptr;
    QPushButton* command1_ = nullptr;
    QPushButton* command2_ = nullptr;
    QPushButton* command3_ = nullptr;
    QLabel* countdown_ = nullptr;
    size_t shownLog_ = 0; // how much of the log the box shows
};
