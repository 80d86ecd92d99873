#include "frm_main.qt.h"

#include <QApplication>
#include <QFontDatabase>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <memory>

#include "display_text.h"
#include "held_run.h"
#include "screen_reader.h"
#include "window_layout.h"

namespace {

QString FromUtf16(std::u16string_view text) {
    return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
}

// Holds the window for the length of a lookup: shows the busy pointer and
// drops every click, key, access key and input method event that arrives
// meanwhile, so that nothing given during the lookup is replayed when the
// window takes input again, and every request to close a window, which
// would end the program in the middle of the lookup.
class HeldWindow : public QObject {
public:
    explicit HeldWindow(QWidget* window) : focus_(QApplication::focusWidget()) {
        qApp->installEventFilter(this);
        // The keyboard focus waits on the window itself, where no input
        // method works. An input method takes the keys before this filter
        // sees them and hands their text back once the hold has ended, and
        // the focus would otherwise move on to the result box as soon as
        // the focused button is disabled.
        window->setFocus(Qt::OtherFocusReason);
        QApplication::setOverrideCursor(Qt::WaitCursor);
        // Brings the busy pointer to the screen before the thread blocks.
        QGuiApplication::sync();
    }
    ~HeldWindow() override {
        QApplication::restoreOverrideCursor();
        // Takes in, and drops, what the window system queued during the
        // lookup, before the filter goes.
        QGuiApplication::sync();
        if (focus_ && focus_->isEnabled()) focus_->setFocus(Qt::OtherFocusReason);
        // The filter goes with this object.
    }
    HeldWindow(const HeldWindow&) = delete;
    HeldWindow& operator=(const HeldWindow&) = delete;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Close) {
            // Taken in but refused: a close event left accepted closes.
            event->ignore();
            return true;
        }
        return event->isInputEvent() || event->type() == QEvent::InputMethod || event->type() == QEvent::Shortcut;
    }

private:
    QPointer<QWidget> focus_;
};

}  // namespace

frmMain::frmMain(QWidget* parent)
    : QWidget(parent),
      cmdRecord1(new QPushButton(FromUtf16(keil::layout::kRecord1Caption), this)),
      cmdRecord2(new QPushButton(FromUtf16(keil::layout::kRecord2Caption), this)),
      txtResult(new QPlainTextEdit(this)) {
    using namespace keil::layout;
    setObjectName("frmMain");
    cmdRecord1->setObjectName("cmdRecord1");
    cmdRecord2->setObjectName("cmdRecord2");
    txtResult->setObjectName("txtResult");
    setWindowTitle(FromUtf16(kCaption));
    setWindowIcon(QIcon::fromTheme("keilbrecher"));

    const int dpiX = logicalDpiX();
    const int dpiY = logicalDpiY();
    const auto place = [&](QWidget* control, TwipsRect r) {
        control->setGeometry(TwipsToPixels(r.left, dpiX), TwipsToPixels(r.top, dpiY),
                             TwipsToPixels(r.width, dpiX), TwipsToPixels(r.height, dpiY));
    };
    // Opens at the layout's size and cannot become smaller; larger, the
    // result box grows with it (resizeEvent).
    const QSize layoutSize(TwipsToPixels(kClientWidth, dpiX), TwipsToPixels(kClientHeight, dpiY));
    setMinimumSize(layoutSize);
    resize(layoutSize);
    place(cmdRecord1, kRecord1);
    place(cmdRecord2, kRecord2);
    place(txtResult, kResult);

    // The buttons' twips were laid out for a classic 8-point dialog font;
    // in it their captions fit with the style's margins at any resolution.
    QFont captionFont = font();
    captionFont.setPointSize(8);
    for (QPushButton* button : {cmdRecord1, cmdRecord2}) {
        button->setAutoDefault(false);
        button->setDefault(false);
        button->setFont(captionFont);
        button->installEventFilter(this);
    }

    // A text screen's columns line up only in a fixed-pitch font.
    QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    fixed.setStyleHint(QFont::Monospace);
    fixed.setFixedPitch(true);
    txtResult->setFont(fixed);
    txtResult->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    txtResult->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    // Lines wrap; a block taller than the box shows a scroll bar.
    txtResult->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    txtResult->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    txtResult->setTabChangesFocus(true);
    txtResult->setAccessibleName(FromUtf16(kResultName));

    setTabOrder(cmdRecord1, cmdRecord2);
    setTabOrder(cmdRecord2, txtResult);
    cmdRecord1->setFocus();

    connect(cmdRecord1, &QPushButton::clicked, this, &frmMain::cmdRecord1_Click);
    connect(cmdRecord2, &QPushButton::clicked, this, &frmMain::cmdRecord2_Click);
}

void frmMain::SetRecord1Enabled(bool enabled) { cmdRecord1->setEnabled(enabled); }

void frmMain::SetRecord2Enabled(bool enabled) { cmdRecord2->setEnabled(enabled); }

void frmMain::SetResultText(const std::u16string& text) {
    txtResult->setPlainText(FromUtf16(keil::DisplayTextFromBlock(text, u"\n")));
}

bool frmMain::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        const bool enter = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
        const bool plain = (key->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
        if (enter && plain && !key->isAutoRepeat() && (watched == cmdRecord1 || watched == cmdRecord2)) {
            static_cast<QPushButton*>(watched)->click();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void frmMain::resizeEvent(QResizeEvent* event) {
    const keil::layout::PixelRect box =
        keil::layout::ResultBoxPixels(width(), height(), logicalDpiX(), logicalDpiY());
    txtResult->setGeometry(box.left, box.top, box.width, box.height);
    QWidget::resizeEvent(event);
}

void frmMain::WhileWaiting() { QCoreApplication::processEvents(); }

void frmMain::cmdRecord1_Click() { RunHeld(&keil::cmdRecord1_Click); }

void frmMain::cmdRecord2_Click() { RunHeld(&keil::cmdRecord2_Click); }

void frmMain::RunHeld(void (*handler)(keil::WindowOperations&)) {
    if (running_) return;
    keil::LookupOutcome outcome;
    {
        running_ = true;
        HeldWindow held(this);
        outcome = keil::RunCatching(*this, handler);
        running_ = false;
    }
    if (outcome.failure) {
        ShowErrorAndQuit(*outcome.failure);
    } else if (outcome.MovesFocusToResult(keil::ScreenReaderRunning())) {
        // The screen reader takes in the accessibility events of the lookup
        // a moment later and judges each by the box's state then; moved at
        // once, the box would already have the focus when the reader gets
        // to the event of its new text, and the reader would take the focus
        // as known and say nothing. A clerk who moves the focus meanwhile
        // keeps it where she put it.
        constexpr int kScreenReaderPauseMs = 300;
        QTimer::singleShot(kScreenReaderPauseMs, this, [this, focus = QPointer<QWidget>(QApplication::focusWidget())] {
            if (QApplication::focusWidget() == focus) txtResult->setFocus(Qt::OtherFocusReason);
        });
    }
}

void frmMain::ShowErrorAndQuit(const keil::Failure& failure) {
    QMessageBox box(QMessageBox::Critical, windowTitle(), QString::fromStdString(keil::ErrorBoxText(failure)),
                    QMessageBox::Ok, this);
    // Lets the user select and copy the message, for a report of the fault.
    box.setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    box.exec();
    hide();
    QCoreApplication::exit(keil::kExitAfterError);
}
