#include "Desktop.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QStatusBar>
#include <QStringList>
#include <QUrl>

bool helpKey(QKeyEvent* e, const std::function<void(const QString&)>& openHelp, const QString& page)
{
    if (e->key() != Qt::Key_F1)
        return false;
    if (openHelp)
        openHelp(page);
    e->accept();
    return true;
}

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

int showMessageBox(QWidget* parent, const QString& title, const std::string& text, QMessageBox::Icon icon,
                   QMessageBox::StandardButtons buttons, QMessageBox::StandardButton defaultButton)
{
    QMessageBox box(parent);
    box.setWindowTitle(title);
    box.setText(boxText(text));
    box.setIcon(icon);
    box.setStandardButtons(buttons);
    if (defaultButton != QMessageBox::NoButton)
        box.setDefaultButton(defaultButton);
    return box.exec();
}

QLabel* addStatusPanel(QStatusBar* bar, const QString& name, const QString& tip, int stretch)
{
    auto* l = new QLabel(bar);
    l->setObjectName(name);
    if (!tip.isEmpty())
        l->setToolTip(tip);
    l->setFrameShape(QFrame::StyledPanel);
    l->setContentsMargins(4, 0, 4, 0);
    bar->addWidget(l, stretch);
    return l;
}

#include <QApplication>
#include <QTimer>
#include <QWidget>
#include <cstdio>

void quitAfter(QWidget& w, int ms, const QString& shot, const char* program, std::function<void()> report,
               bool* fired)
{
    QTimer::singleShot(ms, &w, [&w, shot, program, report = std::move(report), fired] {
        if (!shot.isEmpty()) {
            if (w.grab().save(shot))
                std::printf("screenshot: %s\n", qPrintable(shot));
            else
                std::fprintf(stderr, "%s: cannot write %s\n", program, qPrintable(shot));
            std::fflush(stdout);
        }
        if (report)
            report();
        if (fired)
            *fired = true;
        // A message box waiting for an answer (a connection that failed at start-up) is closed,
        // now and whenever one comes up while the start-up finishes.
        auto* sweeper = new QTimer(qApp);
        QObject::connect(sweeper, &QTimer::timeout, [] {
            if (QWidget* modal = QApplication::activeModalWidget())
                modal->close();
        });
        sweeper->start(50);
        if (QWidget* modal = QApplication::activeModalWidget())
            modal->close();
        w.close();
    });
}

QString dialogFilter(const std::string& filter)
{
    const QStringList parts = QString::fromStdString(filter).split('|');
    QStringList out;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        QString name = parts[i].trimmed();
        name.replace("(*.*)", "(*)");
        out << name;
    }
    return out.join(";;");
}
