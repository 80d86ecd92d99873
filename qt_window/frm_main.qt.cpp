#include "qt_window/frm_main.qt.h"

#include <QAbstractNativeEventFilter>
#include <QAccessible>
#include <QApplication>
#include <QEventLoop>
#include <QSocketNotifier>
#include <QFontDatabase>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <QWindow>
#include <cstdint>
#include <memory>
#include <optional>

#include "window/screen_reader.h"
#include "window/window_layout.h"

namespace {

QString FromUtf16(std::u16string_view text) {
    return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
}

// Holds the window for the length of a lookup: shows the busy pointer and
// drops every click, key, access key and input method event that arrives
// for it meanwhile, so that nothing given during the lookup is replayed
// when the window takes input again. A request to close it asks whether to
// break the lookup off (the question is a window of its own, which takes
// input as usual).
class HeldWindow : public QObject, public keil::LookupWindow::Hold {
public:
    HeldWindow(frmMain* window, QLabel* notice, QWidget* focusSink)
        : window_(window), notice_(notice), focus_(QApplication::focusWidget()) {
        qApp->installEventFilter(this);
        // The keyboard focus waits on an empty control of the window's,
        // where no input method works and which a screen reader does not
        // announce. An input method takes the keys before this filter sees
        // them and hands their text back once the hold has ended, and the
        // focus would otherwise move on to the result box as soon as the
        // focused button is disabled.
        focusSink->setFocus(Qt::OtherFocusReason);
        QApplication::setOverrideCursor(Qt::WaitCursor);
        // Brings the busy pointer to the screen before the thread blocks.
        QGuiApplication::sync();
    }
    ~HeldWindow() override {
        QApplication::restoreOverrideCursor();
        // Takes in, and drops, what the window system queued during the
        // lookup, before the filter goes.
        QGuiApplication::sync();
        // The words of the wait go with it, so that nothing says them
        // after the lookup's end.
        notice_->hide();
        notice_->setAccessibleName(QString());
        if (focus_ && focus_->isEnabled()) focus_->setFocus(Qt::TabFocusReason);
        // The filter goes with this object.
    }
    HeldWindow(const HeldWindow&) = delete;
    HeldWindow& operator=(const HeldWindow&) = delete;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (!HeldHere(watched)) return false;
        if (event->type() == QEvent::Close) {
            // Taken in but refused: a close event left accepted closes.
            event->ignore();
            window_->AskToBreakOff();
            return true;
        }
        return event->isInputEvent() || event->type() == QEvent::InputMethod || event->type() == QEvent::Shortcut;
    }

private:
    // Whether `object` belongs to the held window rather than to another
    // window, such as the question.
    bool HeldHere(QObject* object) const {
        if (const auto* widget = qobject_cast<QWidget*>(object)) return widget->window() == window_;
        if (const auto* window = qobject_cast<QWindow*>(object)) return window == window_->windowHandle();
        return true;
    }

    frmMain* window_;
    QLabel* notice_;
    QPointer<QWidget> focus_;
};

// Tells the window when the X server destroyed it from outside (xdotool
// windowclose), which Qt takes no notice of: it would go on running
// without a window. The event's layout is the X protocol's DestroyNotify.
class WindowGoneWatch : public QAbstractNativeEventFilter {
public:
    explicit WindowGoneWatch(frmMain* window) : window_(window) {}
    bool nativeEventFilter(const QByteArray& type, void* message, qintptr*) override {
        struct DestroyNotify {
            std::uint8_t responseType;
            std::uint8_t pad;
            std::uint16_t sequence;
            std::uint32_t event;
            std::uint32_t window;
        };
        constexpr std::uint8_t kDestroyNotify = 17;
        if (type != "xcb_generic_event_t") return false;
        const auto* notify = static_cast<const DestroyNotify*>(message);
        if ((notify->responseType & 0x7F) == kDestroyNotify && window_->internalWinId() != 0 &&
            notify->window == window_->internalWinId()) {
            window_->MustEnd();
        }
        return false;
    }

private:
    frmMain* window_;
};

}  // namespace

frmMain::frmMain(keil::LookupPlace lookupPlace, QWidget* parent)
    : QWidget(parent),
      LookupWindow(std::move(lookupPlace), u"\n"),
      cmdRecord1(new QPushButton(FromUtf16(keil::layout::kRecord1Caption), this)),
      cmdRecord2(new QPushButton(FromUtf16(keil::layout::kRecord2Caption), this)),
      txtResult(new QPlainTextEdit(this)),
      notice_(new QLabel(this)),
      focusSink_(new QWidget(this)) {
    using namespace keil::layout;
    setObjectName("frmMain");
    cmdRecord1->setObjectName("cmdRecord1");
    cmdRecord2->setObjectName("cmdRecord2");
    txtResult->setObjectName("txtResult");
    notice_->setObjectName("notice");
    notice_->setGeometry(0, 0, 1, 1);
    notice_->hide();
    focusSink_->setObjectName("focusSink");
    focusSink_->setGeometry(0, 0, 0, 0);
    focusSink_->setFocusPolicy(Qt::NoFocus);
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
    // As the keyboard's: the button shows that it has the focus.
    cmdRecord1->setFocus(Qt::TabFocusReason);

    connect(cmdRecord1, &QPushButton::clicked, this, [this] { cmdRecord1_Click(); });
    connect(cmdRecord2, &QPushButton::clicked, this, [this] { cmdRecord2_Click(); });
    // Asks now whether a screen reader runs, so that the answer is there
    // when the first lookup ends.
    (void)keil::ScreenReaderRunning();
    const auto watch = std::make_shared<WindowGoneWatch>(this);
    qApp->installNativeEventFilter(watch.get());
    connect(this, &QObject::destroyed, qApp, [watch] { qApp->removeNativeEventFilter(watch.get()); });
}

void frmMain::SetRecord1Enabled(bool enabled) { cmdRecord1->setEnabled(enabled); }

void frmMain::SetRecord2Enabled(bool enabled) { cmdRecord2->setEnabled(enabled); }

void frmMain::SetResultText(const std::u16string& text) { txtResult->setPlainText(FromUtf16(text)); }

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

void frmMain::TakeTurn() { QCoreApplication::processEvents(); }

std::optional<keil::Waited> frmMain::WaitInEventLoop(keil::NativeHandle handle, std::chrono::milliseconds limit) {
    QEventLoop loop;
    bool ready = false;
    std::optional<QSocketNotifier> notifier;
    if (handle != keil::kNoHandle) {
        notifier.emplace(handle, QSocketNotifier::Read);
        connect(&*notifier, &QSocketNotifier::activated, &loop, [&ready, &loop] {
            ready = true;
            loop.quit();
        });
    }
    QTimer::singleShot(limit, &loop, &QEventLoop::quit);
    // No loop runs once the program is told to end: the wait then looks
    // at the handle itself.
    if (loop.exec() < 0) return std::nullopt;
    return ready ? keil::Waited::kReady : keil::Waited::kTimedOut;
}

void frmMain::ShowWaitNotice(const std::string& text, bool speak) {
    const QString words = QString::fromStdString(text);
    txtResult->setPlainText(words);
    if (!speak) return;
    notice_->hide();
    notice_->setAccessibleName(words);
    notice_->show();
}

std::unique_ptr<keil::LookupWindow::Hold> frmMain::HoldForLookup() {
    return std::make_unique<HeldWindow>(this, notice_, focusSink_);
}

void frmMain::OpenQuestion() {
    auto* box = new QMessageBox(QMessageBox::Question, windowTitle(), QString::fromUtf8(keil::kBreakOffQuestion),
                                QMessageBox::NoButton, this);
    const QPushButton* yes = box->addButton(QString::fromUtf8(keil::kYes), QMessageBox::YesRole);
    QPushButton* no = box->addButton(QString::fromUtf8(keil::kNo), QMessageBox::NoRole);
    box->setDefaultButton(no);
    box->setEscapeButton(no);
    box->setAttribute(Qt::WA_DeleteOnClose);
    // Shown, not run: the lookup goes on while it stands. The question is
    // not busy: the plain pointer over it.
    box->setWindowModality(Qt::ApplicationModal);
    QApplication::setOverrideCursor(Qt::ArrowCursor);
    connect(box, &QMessageBox::finished, this, [this, box, yes] {
        const bool breakOff = box->clickedButton() == yes;
        EndQuestion();
        AnswerQuestion(breakOff);
    });
    question_ = box;
    box->show();
    box->activateWindow();
}

void frmMain::CloseQuestion() {
    if (!question_) return;
    question_->disconnect(this);
    question_->close();
    EndQuestion();
}

void frmMain::EndQuestion() {
    question_ = nullptr;
    QApplication::restoreOverrideCursor();
    // The focus goes back where the held window keeps it.
    activateWindow();
    if (LookupRunning()) focusSink_->setFocus(Qt::OtherFocusReason);
}

void frmMain::ShowErrorAndEnd(const keil::Failure& failure) {
    QMessageBox box(QMessageBox::Critical, windowTitle(), QString::fromStdString(keil::ErrorBoxText(failure)),
                    QMessageBox::Ok, this);
    // Lets the user select and copy the message, for a report of the fault.
    box.setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    box.exec();
    End(keil::kExitAfterError);
}

void frmMain::End(int status) {
    hide();
    QCoreApplication::exit(status);
}

bool frmMain::ScreenReaderRuns() { return keil::ScreenReaderRunning(); }

void frmMain::SpeakRecord(const std::u16string& text) {
    notice_->hide();
    notice_->setAccessibleName(FromUtf16(text));
    notice_->show();
}

void frmMain::MoveFocusToResult() {
    // The screen reader takes in the accessibility events of the lookup a
    // moment later and judges each by the box's state then; moved at once,
    // the box would already have the focus when the reader gets to the
    // event of its new text, and the reader would take the focus as known
    // and say nothing. A clerk who moves the focus meanwhile keeps it where
    // she put it.
    constexpr int kScreenReaderPauseMs = 300;
    QTimer::singleShot(kScreenReaderPauseMs, this, [this, focus = QPointer<QWidget>(QApplication::focusWidget())] {
        if (QApplication::focusWidget() == focus) txtResult->setFocus(Qt::OtherFocusReason);
    });
}
