#pragma once
// "Line of Sight Pointing": where the antenna must point to see a terrestrial target, and
// whether it lies within radio line of sight; Target Antenna sends the pointing. The window
// renders panel::los's results; it computes nothing itself.
#include "panel/core/PanelState.h"

#include <QWidget>
#include <functional>

class QCheckBox;
class QLineEdit;

class frmLOS : public QWidget {
    Q_OBJECT
public:
    static constexpr const char* kHelpPage = "los_pointing.html";

    frmLOS(panel::PanelShared& shared, QWidget* parent = nullptr);

    void Command1_Click(); // Calculate
    void Command2_Click(); // Target Antenna
    void Command3_Click(); // Exit: hidden, values kept
    // The antenna position from telemetry while "Manual Antenna Position Entry" is unchecked.
    void followTelemetry();

    std::function<void(const QString& page)> openHelp;

signals:
    void closed();

protected:
    void closeEvent(QCloseEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void showEvent(QShowEvent* e) override;
    bool eventFilter(QObject* o, QEvent* e) override;

private:
    QLineEdit* box(const char* name, const QString& text, const QString& tip, bool readOnly = false);

    panel::PanelShared& s_;
    QLineEdit *text1_, *text2_, *text3_, *text4_, *text5_, *text6_, *text7_, *text8_;
    QLineEdit *text9_, *text10_, *text11_, *text12_, *text13_, *text14_, *text15_;
    QCheckBox* check1_;
};
