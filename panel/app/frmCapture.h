#pragma once
// "Capture": a small window beside the graph that gathers the file commands as buttons. Each
// button runs the main window's command of the same name through its hook; the main window
// also tells it which set to show (a capture loaded or not) and cmdLog's caption.
//
// The window is non-modal and lives as long as its parent: closing it only hides it (and
// emits closed, so the Tools menu entry can be unticked).
#include <QWidget>
#include <functional>

class QPushButton;

class frmCapture : public QWidget {
    Q_OBJECT
public:
    static constexpr const char* kHelpPage = "capture.html";

    explicit frmCapture(QWidget* parent = nullptr);

    void cmdSaveData_Click();
    void cmdPrint_Click();
    void cmdLog_Click();
    void cmdUnloadDataLog_Click();
    void cmdLoadDataLog_Click();

    // While a capture is loaded only "Print Screen" and "Unload Data Log" are shown; otherwise
    // every button but "Unload Data Log".
    void showLoaded(bool loaded);
    // cmdLog's caption, "Start Data Log" or "Close Data Log".
    void setLogCaption(const QString& caption);

    // Where the window's frame goes so that it sits in the lower right corner of the main
    // window's frame: 150 twips above its bottom edge and 50 twips inside its right edge.
    // dpiOf, when given, is the widget whose screen converts twips to pixels.
    static QPoint cornerPosition(const QRect& mainFrame, const QSize& ownFrame, const QWidget* dpiOf = nullptr);
    // Shows the window at that place for this main window.
    void showBeside(const QWidget& mainWindow);

    // The main window's commands.
    std::function<void()> onSaveData;      // "Save Screen Data"
    std::function<void()> onPrint;         // "Print Screen"
    std::function<void()> onLog;           // "Start Data Log" / "Close Data Log"
    std::function<void()> onUnloadDataLog; // "Unload Data Log"
    std::function<void()> onLoadDataLog;   // "Load Data Log"
    // Opens a help page; the desktop's handler unless a test puts its own.
    std::function<void(const QString& page)> openHelp;

signals:
    void closed();

protected:
    void closeEvent(QCloseEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;

private:
    QPushButton* cmdSaveData_ = nullptr;
    QPushButton* cmdPrint_ = nullptr;
    QPushButton* cmdLog_ = nullptr;
    QPushButton* cmdUnloadDataLog_ = nullptr;
    QPushButton* cmdLoadDataLog_ = nullptr;
};
