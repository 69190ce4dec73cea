#pragma once
// A picture of a properties dialog with its port list dropped down: the dialog and the list's
// popup drawn where they stand on the screen. Saved under $TESSARO_SCREENS_DIR when that is
// set (the README's screenshots), with a second picture of the dialog alone ("-closed"),
// otherwise only made.
#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QPainter>
#include <QPixmap>
#include <QWidget>

#include <cstdlib>

namespace testsupport {

struct PortListPicture {
    QImage image;
    bool popupShown = false;
    QString savedTo; // empty when not saved
};

inline PortListPicture portListPicture(QWidget* dialog, QComboBox* cboPort, const QString& fileName)
{
    PortListPicture out;
    const QImage closed = dialog->grab().toImage();
    cboPort->showPopup();
    QWidget* popup = cboPort->view()->window();
    // The popup opens with a short animation on some styles: wait until it stands (bounded).
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < 500)
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    out.popupShown = popup->isVisible();
    const QRect d = dialog->frameGeometry();
    const QRect p(popup->mapToGlobal(QPoint(0, 0)), popup->size());
    const QRect all = d.united(p).adjusted(-8, -8, 8, 8);
    QImage img(all.size(), QImage::Format_RGB32);
    img.fill(QColor(0x5a, 0x6a, 0x7a));
    {
        QPainter painter(&img);
        painter.drawPixmap(dialog->mapToGlobal(QPoint(0, 0)) - all.topLeft(), dialog->grab());
        if (out.popupShown)
            painter.drawPixmap(p.topLeft() - all.topLeft(), popup->grab());
    }
    cboPort->hidePopup();
    out.image = img;
    if (const char* dir = std::getenv("TESSARO_SCREENS_DIR"); dir && *dir) {
        QDir().mkpath(dir);
        const QString path = QDir(dir).filePath(fileName);
        if (img.save(path))
            out.savedTo = path;
        QString closedName = fileName;
        closed.save(QDir(dir).filePath(closedName.replace(".png", "-closed.png")));
    }
    return out;
}

} // namespace testsupport
