#pragma once
// Small window-side helpers both programs share: help pages and documents opened with the
// desktop's handler, and protocol text turned into displayed text.
#include <QString>
#include <string>

// Opens a page (or document) of the installed "html" folder with the desktop's handler: the
// installed folder first, then the one beside a build tree. False when no such page exists.
bool openHelpPage(const QString& page);

// Protocol bytes as shown: each byte one Latin-1 character, never decoded as UTF-8.
QString latin1(const std::string& bytes);
// A message text: the equipment's CR line breaks become line breaks of the message box.
QString boxText(const std::string& text);
