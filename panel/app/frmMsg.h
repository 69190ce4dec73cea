#pragma once
// The panel's progress window: a caption, a progress bar and Cancel. Non-modal and kept above
// the main window; the long jobs that use it (the parameter dump, the parameter upload) go on
// running on their scheduler while it is shown, and Cancel only tells them to stop.
#include <QWidget>
#include <functional>
#include <string>

class QLabel;
class QProgressBar;
class QPushButton;

class frmMsg : public QWidget {
    Q_OBJECT
public:
    explicit frmMsg(QWidget* parent = nullptr);

    void showWith(const std::string& caption, int maximum);
    void setCaption(const std::string& caption);
    void setValue(int value);

    // Cancel pressed (or the window closed by its title bar while a job runs).
    std::function<void()> onCancel;

protected:
    void closeEvent(QCloseEvent* e) override;

private:
    QLabel* label_;
    QProgressBar* bar_;
    QPushButton* cancel_;
};
