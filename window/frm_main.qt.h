#pragma once

#include <QWidget>
#include <cstdint>
#include <string>

#include "lookup_run.h"

class QPlainTextEdit;
class QPushButton;

// Installs Qt's own translations for the user's language, so that the
// words Qt itself writes (the result box's context menu, the message box's
// button) are in that language too. Returns whether there were any.
bool InstallQtTranslations();

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

    void cmdRecord1_Click();
    void cmdRecord2_Click();

    // The exit status of the program after an error's message box.
    static constexpr int kExitAfterError = 1;

protected:
    QPushButton* cmdRecord1;
    QPushButton* cmdRecord2;
    QPlainTextEdit* txtResult;

private:
    // Runs one Click handler with the window held: busy pointer, and input
    // given meanwhile dropped. An error it raises is shown, then the program
    // ends.
    void RunHeld(void (*handler)(keil::WindowOperations&));
    void ShowErrorAndQuit(std::int32_t number, const QString& text);
};
