#pragma once

#include <QWidget>
#include <cstdint>
#include <string>

#include "held_run.h"
#include "lookup_run.h"

class QLabel;
class QPlainTextEdit;
class QPushButton;

// The program's one window: two record buttons and the result box. It is
// the window that lookups run on, and the place where their errors end the
// program.
class frmMain : public QWidget, public keil::WindowOperations {
    Q_OBJECT

public:
    explicit frmMain(QWidget* parent = nullptr);

    void SetRecord1Enabled(bool enabled) override;
    void SetRecord2Enabled(bool enabled) override;
    void SetResultText(const std::u16string& text) override;
    // Paints and takes in what the window system has, while the filter of
    // the held window drops the input.
    void WhileWaiting() override;
    // The words stand in the result box, which the block or an error's
    // emptying replaces. To be spoken, they also show in the notice, an
    // empty object of the role "notification" that a screen reader speaks
    // whenever it shows, wherever the focus is.
    void ShowWaitNotice(const std::string& text, bool speak) override;
    bool ClerkBreaksOff() override { return breakOff_; }

    // A request to close the window while a lookup runs asks whether to
    // break it off and end the program ("Nein" the default); the lookup
    // waits meanwhile.
    void AskToBreakOff();
    // The window system destroyed the window from outside: the program
    // ends, a running lookup broken off.
    void WindowGone();

    void cmdRecord1_Click();
    void cmdRecord2_Click();

protected:
    // Return and keypad Enter on a focused record button click it.
    bool eventFilter(QObject* watched, QEvent* event) override;
    // The result box grows and shrinks with the window.
    void resizeEvent(QResizeEvent* event) override;

private:
    // Found by their object names, as assistive tools and tests find them.
    QPushButton* cmdRecord1;
    QPushButton* cmdRecord2;
    QPlainTextEdit* txtResult;
    QLabel* notice_;

    // Runs one Click handler with the window held: busy pointer, and input
    // given meanwhile dropped. An error it raises is shown, then the program
    // ends (see RunCatching). A click that reaches it while a lookup runs
    // does nothing.
    void RunHeld(void (*handler)(keil::WindowOperations&));
    bool running_ = false;
    bool breakOff_ = false;
    bool asking_ = false;
    void ShowErrorAndQuit(const keil::Failure& failure);
};
