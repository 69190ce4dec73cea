#pragma once
// Small window-side helpers both programs share: help pages and documents opened with the
// desktop's handler, protocol text turned into displayed text, message boxes and status panels.
#include <QMessageBox>
#include <QString>
#include <functional>
#include <string>

// Opens a page (or document) of the installed "html" folder with the desktop's handler: the
// installed folder first, then the one beside a build tree. False when no such page exists.
bool openHelpPage(const QString& page);

class QKeyEvent;
// F1 in a window with a help page: the page through openHelp (when set), the key consumed.
// False for any other key.
bool helpKey(QKeyEvent* e, const std::function<void(const QString&)>& openHelp, const QString& page);

// Protocol bytes as shown: each byte one Latin-1 character, never decoded as UTF-8.
QString latin1(const std::string& bytes);
// A message text: the equipment's CR line breaks become line breaks of the message box.
QString boxText(const std::string& text);

// A modal message box over parent: title, the equipment's text (CR line breaks become line
// breaks), icon and buttons, and the default button when one is given. Returns the button that
// closed it (QMessageBox::StandardButton).
int showMessageBox(QWidget* parent, const QString& title, const std::string& text, QMessageBox::Icon icon,
                   QMessageBox::StandardButtons buttons,
                   QMessageBox::StandardButton defaultButton = QMessageBox::NoButton);

// A file dialog filter as the programs write it ("Text Files (*.txt)|*.txt|All Files (*.*)|*.*")
// in the form the platform's dialog takes ("Text Files (*.txt);;All Files (*)").
QString dialogFilter(const std::string& filter);

class QLabel;
class QStatusBar;
// One framed panel of a status bar, added to it with the given stretch; tip only when not empty.
QLabel* addStatusPanel(QStatusBar* bar, const QString& name, const QString& tip, int stretch);

class QWidget;
#include <functional>

// For scripted runs (demo, screenshots): after ms, saves a picture of the window to screenshot
// (when not empty), runs report, closes any message box that is waiting and closes the window.
// Armed before the window's start-up, so a box shown during start-up cannot keep the program
// running. *fired becomes true when it has run.
void quitAfter(QWidget& window, int ms, const QString& screenshot, const char* program,
               std::function<void()> report, bool* fired);
