#pragma once
// "N7 Parameter Tool": encodes the PCU's N7 byte from four groups of option buttons and decodes
// a typed value back into them; Read fetches the value from the PCU and Send sets it. The logic
// (panel::N7Tool) decides; the window renders it.
//
// The window is non-modal and lives as long as its parent: Exit or closing it hides it and
// emits closed(), so the Tools menu entry can be unticked.
#include "panel/tools/N7.h"

#include <QWidget>
#include <array>
#include <functional>

class QLabel;
class QLineEdit;
class QRadioButton;

class frmN7 : public QWidget {
    Q_OBJECT
public:
    static constexpr const char* kHelpPage = "n7_tool.html";
    // Where the window opens, relative to the main window (twips).
    static constexpr int kTopOffsetTwips = 3075;
    static constexpr int kLeftOffsetTwips = 9825;

    explicit frmN7(panel::PanelShared& shared, QWidget* parent = nullptr);

    // The window's top-left corner: top = the main window's top + 3075 twips; left = the main
    // window's left + 9825 twips - this window's width + the diagnostics window's width.
    // Positions and widths in pixels; dpiRef (when given) converts the twips.
    static QPoint placement(const QPoint& mainTopLeft, int ownWidth, int diagWidth, const QWidget* dpiRef = nullptr);

    void Option_Click(int group, int index);
    void Text1_Enter();
    void Command1_Click(); // Read
    void Command2_Click(); // Send
    void Command3_Click(); // Exit
    // Each decoded reply line with the command it answers (the lead's receive path calls this);
    // the answer to a Read fills the value box.
    void replyLine(const std::string& line, const std::string& command);

    panel::N7Tool& logic() { return tool_; }

    // Opens a help page; the desktop's handler unless a test puts its own.
    std::function<void(const QString& page)> openHelp;
    // Shows a message (a closed port, a value box without a number); a message box unless a
    // test puts its own.
    std::function<void(const std::string& text)> showMessage;

signals:
    void closed();

protected:
    void closeEvent(QCloseEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    bool eventFilter(QObject* o, QEvent* e) override;

private:
    void build();
    void refresh();
    void selectValue();
    void report(const std::string& message);

    panel::N7Tool tool_;
    std::array<std::array<QRadioButton*, panel::n7::kChoices>, panel::n7::kGroups> options_{};
    std::array<QLineEdit*, panel::n7::kGroups> components_{}; // Text2..Text5
    QLineEdit* text1_ = nullptr;
    QLabel* status_ = nullptr;
};
