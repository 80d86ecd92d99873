#pragma once

#include <QPointer>
#include <QWidget>
#include <cstdint>
#include <string>

#include "window/lookup_window.h"

class QLabel;
class QMessageBox;
class QPlainTextEdit;
class QPushButton;

// The program's one window: two record buttons and the result box. It is
// the window that lookups run on, in the lookup folder `place`, and the
// place where their errors end the program.
class frmMain : public QWidget, public keil::LookupWindow {
    Q_OBJECT

public:
    explicit frmMain(keil::LookupPlace place, QWidget* parent = nullptr);

protected:
    void SetRecord1Enabled(bool enabled) override;
    void SetRecord2Enabled(bool enabled) override;
    void SetResultText(const std::u16string& text) override;
    // Paints and takes in what the window system has, while the filter of
    // the held window drops the input.
    void TakeTurn() override;
    // A nested event loop for the length of the slice, which a notifier
    // of `handle` ends early; none once the program is told to end.
    std::optional<keil::Waited> WaitInEventLoop(keil::NativeHandle handle, std::chrono::milliseconds limit) override;
    // The words stand in the result box, which the block or an error's
    // emptying replaces. To be spoken, they also show in the notice, an
    // empty object of the role "notification" that a screen reader speaks
    // whenever it shows, wherever the focus is.
    void ShowWaitNotice(const std::string& text, bool speak) override;

    // Return and keypad Enter on a focused record button click it.
    bool eventFilter(QObject* watched, QEvent* event) override;
    // The result box grows and shrinks with the window.
    void resizeEvent(QResizeEvent* event) override;

    // Holds the window for a lookup: the busy pointer, and input given
    // meanwhile dropped (see HeldWindow).
    std::unique_ptr<Hold> HoldForLookup() override;
    // A message box, modal but shown, not run: the lookup goes on.
    void OpenQuestion() override;
    void CloseQuestion() override;
    void ShowErrorAndEnd(const keil::Failure& failure) override;
    void End(int status) override;
    bool ScreenReaderRuns() override;
    // Through the notice, which a screen reader speaks wherever the focus is.
    void SpeakRecord(const std::u16string& text) override;
    void MoveFocusToResult() override;

private:
    // Found by their object names, as assistive tools and tests find them.
    QPushButton* cmdRecord1;
    QPushButton* cmdRecord2;
    QPlainTextEdit* txtResult;
    QLabel* notice_;
    // Where the keyboard focus waits while a lookup holds the window.
    QWidget* focusSink_;
    QPointer<QMessageBox> question_;

    // The question has gone, answered or taken away.
    void EndQuestion();

};
