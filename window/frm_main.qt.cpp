#include "frm_main.qt.h"

#include <QApplication>
#include <QFontDatabase>
#include <QLibraryInfo>
#include <QLocale>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QTranslator>
#include <memory>
#include <new>
#include <optional>
#include <utility>

#include "display_text.h"
#include "error.h"
#include "window_layout.h"

namespace {

QString FromUtf16(std::u16string_view text) {
    return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
}

// Holds the window for the length of a lookup: shows the busy pointer and
// drops every click, key and input method event that arrives meanwhile, so
// that nothing given during the lookup is replayed when the window takes
// input again.
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
        qApp->removeEventFilter(this);
    }
    HeldWindow(const HeldWindow&) = delete;
    HeldWindow& operator=(const HeldWindow&) = delete;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        return event->isInputEvent() || event->type() == QEvent::InputMethod;
    }

private:
    QPointer<QWidget> focus_;
};

}  // namespace

bool InstallQtTranslations() {
    auto translator = std::make_unique<QTranslator>();
    if (!translator->load(QLocale::system(), "qtbase", "_", QLibraryInfo::path(QLibraryInfo::TranslationsPath)) ||
        !QCoreApplication::installTranslator(translator.get())) {
        return false;
    }
    translator.release()->setParent(qApp);  // the application owns it from now on
    return true;
}

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
    setFixedSize(TwipsToPixels(kClientWidth, dpiX), TwipsToPixels(kClientHeight, dpiY));
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
    }

    // A text screen's columns line up only in a fixed-pitch font.
    QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    fixed.setStyleHint(QFont::Monospace);
    fixed.setFixedPitch(true);
    txtResult->setFont(fixed);
    txtResult->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    txtResult->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    txtResult->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    txtResult->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    txtResult->setTabChangesFocus(true);

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

void frmMain::cmdRecord1_Click() { RunHeld(&keil::cmdRecord1_Click); }

void frmMain::cmdRecord2_Click() { RunHeld(&keil::cmdRecord2_Click); }

void frmMain::RunHeld(void (*handler)(keil::WindowOperations&)) {
    std::optional<std::pair<std::int32_t, QString>> failure;
    {
        HeldWindow held(this);
        try {
            handler(*this);
        } catch (const keil::Error& e) {
            failure.emplace(e.number(), QString::fromUtf8(e.text()));
        } catch (const std::bad_alloc&) {
            failure.emplace(keil::kErrAllocation, keil::kOutOfMemoryText);
        }
    }
    if (failure) ShowErrorAndQuit(failure->first, failure->second);
}

void frmMain::ShowErrorAndQuit(std::int32_t number, const QString& text) {
    QMessageBox box(QMessageBox::Critical, windowTitle(),
                    QStringLiteral("Fehler %1: %2").arg(number).arg(text), QMessageBox::Ok, this);
    box.setObjectName("errorBox");
    // Lets the user select and copy the message, for a report of the fault.
    box.setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    box.exec();
    hide();
    QCoreApplication::exit(kExitAfterError);
}
