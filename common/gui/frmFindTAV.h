#pragma once
// "Find TAVs": finds controllers on the network by the UDP request, either as a broadcast to
// the local network or to one address, and lists the address of every device that answers.
// Double-clicking an address opens the device's web page; "Configure Port" opens the program's
// connection settings dialog so a found address can be entered into a connection profile.
//
// The same window serves both programs. Each program hands it a FindTavSetup: the settings
// store when the search settings are kept (the terminal), the address first offered, the
// network addresses, and the hooks for "Configure Port", web pages, help and message boxes.
//
// The window is non-modal and unloads itself when closed (it is deleted, which closes the
// socket); watch QObject::destroyed to untick a menu entry.
#include "common/Discovery.h"

#include <QString>
#include <QWidget>
#include <functional>
#include <memory>

class QLineEdit;
class QListWidget;
class QPushButton;

namespace common {
class SettingsStore;
}

struct FindTavSetup {
    // When set (the terminal), the window fills the port and address boxes from the section
    // "FindTavs" of this store (keys "PortNumber" and "IPAddress") and OK saves them there.
    // When null (the panel) nothing is stored.
    common::SettingsStore* store = nullptr;
    // The address first offered in the address box (and the stored address's default).
    QString defaultAddress = QString::fromLatin1(common::kPanelFindAddress);
    // The broadcast address "Find All" sends to, and the local address answers arrive on.
    common::Discovery::Network network;
    // The socket maker; the real UDP socket unless a test puts its own.
    common::Discovery::SocketFactory makeSocket = common::makeUdpSocket;

    // "Configure Port": show the program's connection settings dialog, modally. When empty the
    // button is disabled.
    std::function<void()> configurePort;
    // Open a URL in the desktop's browser (default: QDesktopServices::openUrl).
    std::function<void(const QString& url)> openUrl;
    // Open a help page of the installed "html" folder (default: the desktop's handler on the
    // first of the installed or build-tree folders that has the page).
    std::function<void(const QString& page)> openHelp;
    // Show a plain message box (default: QMessageBox without icon, titled messageTitle).
    std::function<void(const QString& text)> message;
    QString messageTitle;
};

class frmFindTAV : public QWidget {
    Q_OBJECT
public:
    // The help page F1 opens.
    static constexpr const char* kHelpPage = "find_tav.html";

    explicit frmFindTAV(FindTavSetup setup, QWidget* parent = nullptr);
    ~frmFindTAV() override;

    // Handlers under their control names.
    void cmdFind_Click();
    void cmdFindSpec_Click();
    void List1_DblClick();
    void cndUseIP_Click();
    // "Configure Port" may be used (false while the program runs a sequence on its link).
    void setConfigureEnabled(bool on);
    // 0 = OK (the terminal saves the boxes first), 1 = Cancel; either unloads the window.
    void cmdExit_Click(int index);

    common::Discovery& discovery() { return discovery_; }

protected:
    void closeEvent(QCloseEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    bool eventFilter(QObject* o, QEvent* e) override;

private:
    void build();
    void showList();
    void message(const QString& text);

    FindTavSetup setup_;
    common::Discovery discovery_;
    QLineEdit* txtIPAddress_ = nullptr;
    QLineEdit* txtPort_ = nullptr;
    QListWidget* List1_ = nullptr;
    QPushButton* cmdFind_ = nullptr;
    QPushButton* cmdFindSpec_ = nullptr;
    QPushButton* cndUseIP_ = nullptr;
    bool configureEnabled_ = true;
};
