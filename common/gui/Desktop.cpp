#include "Desktop.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QFileInfo>
#include <QStringList>
#include <QUrl>

bool openHelpPage(const QString& page)
{
    const QString appDir = QCoreApplication::applicationDirPath();
    const QStringList dirs = {appDir + "/../share/tessaro/html", QStringLiteral(TESSARO_HELP_DIR),
                              QStringLiteral(TESSARO_SOURCE_HELP_DIR)};
    for (const QString& d : dirs) {
        const QFileInfo f(d + "/" + page);
        if (f.exists()) {
            QDesktopServices::openUrl(QUrl::fromLocalFile(f.canonicalFilePath()));
            return true;
        }
    }
    return false;
}

QString latin1(const std::string& s) { return QString::fromLatin1(s.data(), qsizetype(s.size())); }

QString boxText(const std::string& s)
{
    QString t = latin1(s);
    t.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return t;
}
