// The main window on Qt's offscreen platform, with the fake lookup program
// standing in for the lookup program. Clicks given during a lookup are the
// end-to-end test's to show.

#include <QApplication>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

#include "frm_main.qt.h"
#include "support.h"

using namespace keil::test;

namespace {

// The window with its controls in reach, which also looks at itself while
// a lookup holds it.
class ProbeWindow : public frmMain {
public:
    using frmMain::cmdRecord1;
    using frmMain::cmdRecord2;
    using frmMain::txtResult;
    void SetResultText(const std::u16string& text) override {
        buttonsEnabledDuringRun = cmdRecord1->isEnabled() || cmdRecord2->isEnabled();
        busyPointerDuringRun = QApplication::overrideCursor() && QApplication::overrideCursor()->shape() == Qt::WaitCursor;
        frmMain::SetResultText(text);
    }
    bool buttonsEnabledDuringRun = true;
    bool busyPointerDuringRun = false;
};

QString Shown(const std::string& block) { return QString::fromLatin1(block).replace("\r\n", "\n"); }

}  // namespace

class FrmMainTest : public QObject {
    Q_OBJECT

private slots:
    void startState() {
        ProbeWindow window;
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        QCOMPARE(window.logicalDpiX(), 96);
        QCOMPARE(window.windowTitle(), QString("Der Keilbrecher"));
        QCOMPARE(window.size(), QSize(345, 194));
        QCOMPARE(window.cmdRecord1->geometry(), QRect(16, 16, 113, 25));
        QCOMPARE(window.cmdRecord2->geometry(), QRect(16, 48, 113, 25));
        QCOMPARE(window.txtResult->geometry(), QRect(136, 16, 201, 169));
        QCOMPARE(window.cmdRecord1->text(), QString("Erster Datensatz"));
        QCOMPARE(window.cmdRecord2->text(), QString("Zweiter Datensatz"));
        for (QPushButton* button : {window.cmdRecord1, window.cmdRecord2}) {
            QVERIFY(button->isEnabled() && !button->isDefault() && !button->autoDefault());
        }
        QVERIFY(window.txtResult->toPlainText().isEmpty() && !window.txtResult->isReadOnly());
        QCOMPARE(window.txtResult->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
        QCOMPARE(window.txtResult->lineWrapMode(), QPlainTextEdit::WidgetWidth);
        // Columns line up: narrow and wide letters take the same width.
        const QFontMetrics metrics(window.txtResult->font());
        QCOMPARE(metrics.horizontalAdvance('i'), metrics.horizontalAdvance('W'));
        // Focus starts on the first button; Tab walks the controls in order.
        QCOMPARE(QApplication::focusWidget(), window.cmdRecord1);
        for (QWidget* next : std::initializer_list<QWidget*>{window.cmdRecord2, window.txtResult, window.cmdRecord1}) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QCOMPARE(QApplication::focusWidget(), next);
        }
    }

    void closingTheWindowEndsTheProgram() {
        frmMain window;
        window.show();
        QTimer::singleShot(0, &window, &QWidget::close);
        QTimer::singleShot(5000, [] { QCoreApplication::exit(99); });  // should closing not end it
        QCOMPARE(QApplication::exec(), 0);
    }

    // Each button looks up its record and holds the window meanwhile.
    void clickLooksUpTheRecord() {
        ProbeWindow window;
        window.show();
        for (const auto& [button, request] : {std::pair{window.cmdRecord1, "adr\r1"}, {window.cmdRecord2, "adr\r2"}}) {
            PrepareResponse(SampleScreen("M\xFCller GmbH"));
            QTest::mouseClick(button, Qt::LeftButton);
            QCOMPARE(ReadFileBytes(InFolder("fake-request.bin")), std::string(request));
            QCOMPARE(window.txtResult->toPlainText(), Shown(SampleBlock("M\xFCller GmbH")));
            QVERIFY(!window.buttonsEnabledDuringRun && window.busyPointerDuringRun);
            QCOMPARE(QApplication::overrideCursor(), nullptr);
            QVERIFY(window.cmdRecord1->isEnabled() && window.cmdRecord2->isEnabled());
        }
    }

    void emptyResponseKeepsTypedText() {
        ProbeWindow window;
        window.show();
        window.txtResult->setFocus();
        QTest::keyClicks(window.txtResult, "getippt");
        PrepareResponse("");
        QTest::mouseClick(window.cmdRecord1, Qt::LeftButton);
        QCOMPARE(window.txtResult->toPlainText(), QString("getippt"));
        PrepareResponse(SampleScreen());
        QTest::mouseClick(window.cmdRecord1, Qt::LeftButton);
        QCOMPARE(window.txtResult->toPlainText(), Shown(SampleBlock()));
    }

    // The message box of an error, and the program's end once it is closed.
    void errorIsShownAndEndsTheProgram() {
        PrepareResponse(std::string(9, '\n'));
        ProbeWindow window;
        window.show();
        QString box;
        QTimer closer;
        connect(&closer, &QTimer::timeout, [&] {
            if (auto* shown = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                box = shown->windowTitle() + "|" + shown->text() + "|" + (window.isVisible() ? "shown" : "hidden");
                shown->accept();
            }
        });
        closer.start(10);
        QTimer::singleShot(0, [&] { QTest::mouseClick(window.cmdRecord1, Qt::LeftButton); });
        QCOMPARE(QApplication::exec(), 1);
        QVERIFY2(box.startsWith("Der Keilbrecher|Error 536870914: Out of range") && box.endsWith("|shown"), qPrintable(box));
        QVERIFY(!window.isVisible());
    }
};

QTEST_MAIN(FrmMainTest)
#include "frm_main_test.moc"
