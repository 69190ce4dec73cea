#pragma once
// A round indicator lamp: filled with its colour when lit, an empty ring when dark.
#include "panel/core/PanelState.h"

#include <QWidget>

class LampWidget : public QWidget {
    Q_OBJECT
    Q_PROPERTY(bool lit READ lit)
    Q_PROPERTY(QString fillColor READ fillColor)
    Q_PROPERTY(bool flashing READ flashing)
public:
    explicit LampWidget(QWidget* parent = nullptr);
    void setLamp(const panel::Lamp& lamp, bool flashing = false);
    // The blink phase of flashing lamps (shared by all lamps, driven by the main window).
    void setBlinkPhase(bool on);
    bool flashing() const { return flashing_; }
    bool lit() const { return lamp_.lit(); }
    QString fillColor() const;
    QSize sizeHint() const override { return {18, 18}; }

Q_SIGNALS:
    void clicked();

protected:
    void paintEvent(QPaintEvent*) override;
    void mouseReleaseEvent(QMouseEvent*) override;

private:
    panel::Lamp lamp_;
    bool flashing_ = false;
    bool phase_ = true;
};
