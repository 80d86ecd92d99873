// The main window on Qt's offscreen platform, with the fake lookup program
// standing in for the lookup program. The window's title, where the focus
// starts, which record each button asks for, clicks and keys given through
// the window system during a lookup, and the error's message box are the
// end-to-end test's to show.

#include <QApplication>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QStyleOptionButton>
#include <QtTest>

#include <spawn.h>
#include <sys/wait.h>

#include "qt_window/application.qt.h"
#include "qt_window/frm_main.qt.h"
#include "support.h"
#include "window/display_text.h"
#include "window/lookup_window.h"

using namespace keil::test;

extern char** environ;

namespace {

// The window with its controls found by their object names, which also
// looks at itself while a lookup holds it.
class ProbeWindow : public frmMain {
public:
    ProbeWindow() : frmMain(keil::FixedLookupPlace()) {}
    QPushButton* const cmdRecord1 = findChild<QPushButton*>("cmdRecord1");
    QPushButton* const cmdRecord2 = findChild<QPushButton*>("cmdRecord2");
    QPlainTextEdit* const txtResult = findChild<QPlainTextEdit*>("txtResult");
    void SetResultText(const std::u16string& text) override {
        buttonsEnabledDuringRun = cmdRecord1->isEnabled() || cmdRecord2->isEnabled();
        busyPointerDuringRun = QApplication::overrideCursor() && QApplication::overrideCursor()->shape() == Qt::WaitCursor;
        focusDuringRun = QApplication::focusWidget();
        frmMain::SetResultText(text);
    }
    // The first time the lookup waits: a click on the other button that
    // reaches the window, a request to close, answered with `answer` (or
    // left standing when that is empty), and a repaint asked for; and a
    // colleague's lookup started, when `colleague` is set.
    void TakeTurn() override {
        if (waits++ == 0) {
            cmdRecord1_Click();
            if (colleague) StartColleague();
            QTimer::singleShot(100, this, [this] {
                auto* question = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
                if (question == nullptr) return;
                asked = question->text();
                questionDefault = question->defaultButton()->text();
                for (QAbstractButton* button : question->buttons()) {
                    if (button->text() == answer) button->click();
                }
            });
            closedDuringRun = close();
            update();
        }
        frmMain::TakeTurn();
    }
    // Another copy of the program that looks up record 1 once, waiting for
    // this one's turn; its exit status.
    void StartColleague() {
        char record[] = "1", count[] = "1";
        std::string program = KEIL_LOOKUP_LOOP;
        char* argv[] = {program.data(), record, count, nullptr};
        QVERIFY(::posix_spawn(&colleaguePid, program.c_str(), nullptr, nullptr, argv, environ) == 0);
    }
    int ColleagueStatus() {
        int status = -1;
        ::waitpid(colleaguePid, &status, 0);
        return status;
    }
    // The words of the wait, and those that the notice showed anew for a
    // screen reader.
    void ShowWaitNotice(const std::string& text, bool speak) override {
        frmMain::ShowWaitNotice(text, speak);
        const auto* notice = findChild<QLabel*>("notice");
        notices << txtResult->toPlainText() + (speak && notice->isVisible() ? "|" + notice->accessibleName() : "");
    }
    bool event(QEvent* event) override {
        paintsDuringRun += event->type() == QEvent::Paint && waits > 0 && focusDuringRun == nullptr;
        return frmMain::event(event);
    }
    QString answer = "&Nein";
    bool colleague = false;
    pid_t colleaguePid = 0;
    QString asked, questionDefault;
    QStringList notices;
    int waits = 0;
    int paintsDuringRun = 0;
    bool closedDuringRun = true;
    bool buttonsEnabledDuringRun = true;
    bool busyPointerDuringRun = false;
    QWidget* focusDuringRun = nullptr;
};

QString Shown(const std::string& block) { return QString::fromLatin1(block).replace("\r\n", "\n"); }

// The bytes of a block whose characters are all below 256.
std::vector<std::uint8_t> Bytes(std::u16string_view block) { return {block.begin(), block.end()}; }

}  // namespace

class FrmMainTest : public QObject {
    Q_OBJECT

private slots:
    void startState() {
        ProbeWindow window;
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        QCOMPARE(window.cmdRecord1->text(), QString("&Erster Datensatz"));
        QCOMPARE(window.cmdRecord2->text(), QString("&Zweiter Datensatz"));
        for (QPushButton* button : {window.cmdRecord1, window.cmdRecord2}) {
            QVERIFY(button->isEnabled() && !button->isDefault() && !button->autoDefault());
        }
        QVERIFY(window.txtResult->toPlainText().isEmpty() && !window.txtResult->isReadOnly());
        // Qt's own words are German, though ctest gives this test the
        // session language C.
        QVERIFY(InstallQtTranslations());
        const std::unique_ptr<QMenu> menu(window.txtResult->createStandardContextMenu());
        QCOMPARE(menu->actions().at(0)->text(), QString("&Rückgängig\tStrg+Z"));
        QCOMPARE(window.txtResult->lineWrapMode(), QPlainTextEdit::WidgetWidth);
        // Columns line up: narrow and wide letters take the same width.
        const QFontMetrics metrics(window.txtResult->font());
        QCOMPARE(metrics.horizontalAdvance('i'), metrics.horizontalAdvance('W'));
        // A block taller than the box shows a vertical scroll bar, and only
        // then; long lines wrap instead of scrolling sideways.
        const struct {
            std::u16string block;
            bool scrolls;
        } blocks[] = {{u"kurz\r\n", false}, {std::u16string(40 * 8, u'x') + u"\r\n", true}, {u"kurz\r\n", false}};
        for (const auto& [block, scrolls] : blocks) {
            window.ShowResultBlock(Bytes(block));
            QApplication::processEvents();
            QCOMPARE(window.txtResult->verticalScrollBar()->isVisible(), scrolls);
            QVERIFY(!window.txtResult->horizontalScrollBar()->isVisible());
        }
    }

    // The twips layout in the screen's pixels, and captions that fit their
    // buttons within the style's margins; ctest runs it at 96, 120, 144 and
    // 192 dots per inch.
    void layoutFitsAtThisDpi() {
        struct Layout {
            int dpi;
            QSize client;
            QRect record1, record2, result;
        };
        const Layout layouts[] = {
            {96, {345, 194}, {16, 16, 113, 25}, {16, 48, 113, 25}, {136, 16, 201, 169}},
            {120, {431, 243}, {20, 20, 141, 31}, {20, 60, 141, 31}, {170, 20, 251, 211}},
            {144, {518, 291}, {24, 24, 170, 38}, {24, 72, 170, 38}, {204, 24, 302, 254}},
            {192, {690, 388}, {32, 32, 226, 50}, {32, 96, 226, 50}, {272, 32, 402, 338}},
        };
        ProbeWindow window;
        window.show();
        const auto layout = std::find_if(std::begin(layouts), std::end(layouts),
                                         [&](const Layout& l) { return l.dpi == window.logicalDpiX(); });
        QVERIFY2(layout != std::end(layouts), qPrintable(QString::number(window.logicalDpiX())));
        QCOMPARE(window.size(), layout->client);
        QCOMPARE(window.minimumSize(), layout->client);
        QCOMPARE(window.cmdRecord1->geometry(), layout->record1);
        QCOMPARE(window.cmdRecord2->geometry(), layout->record2);
        QCOMPARE(window.txtResult->geometry(), layout->result);
        // Made larger, the result box grows by as much; the buttons stay.
        window.resize(layout->client + QSize(200, 100));
        QCOMPARE(window.txtResult->geometry(), layout->result.adjusted(0, 0, 200, 100));
        QCOMPARE(window.cmdRecord2->geometry(), layout->record2);
        for (QPushButton* button : {window.cmdRecord1, window.cmdRecord2}) {
            QStyleOptionButton option;
            option.initFrom(button);
            option.text = button->text();
            const QRect contents = button->style()->subElementRect(QStyle::SE_PushButtonContents, &option, button);
            const QSize text = button->fontMetrics().size(Qt::TextShowMnemonic, button->text());
            const int margins = button->style()->pixelMetric(QStyle::PM_ButtonMargin, &option, button);
            QVERIFY2(text.width() + margins <= contents.width() && text.height() <= contents.height(),
                     qPrintable(QStringLiteral("%1: %2x%3 and margins of %4 in %5x%6").arg(button->text()).arg(text.width())
                                    .arg(text.height()).arg(margins).arg(contents.width()).arg(contents.height())));
        }
    }

    // A click looks up its record once and holds the window meanwhile: it
    // paints, another click does nothing, and a request to close asks
    // whether to break the lookup off, "Nein" the default; after two
    // seconds the result box says what it waits for, and the notice shows
    // the words for a screen reader, once. On "Nein" it goes on. The focus
    // goes back where it was. Return in the result box breaks the line
    // instead (the end-to-end test drives the keyboard's ways into a
    // lookup). The block replaces typed text whole.
    void clickLooksUpTheRecord() {
        ProbeWindow window;
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        QTest::keyClicks(window.txtResult, "getippt");
        PrepareResponse(SampleScreen("M\xFCller GmbH"), "sleep-ms 3100\n");
        QTest::mouseClick(window.cmdRecord2, Qt::LeftButton);
        QVERIFY(window.paintsDuringRun > 0 && !window.closedDuringRun && window.isVisible());
        QCOMPARE(window.asked, QString::fromUtf8(keil::kBreakOffQuestion));
        QCOMPARE(window.questionDefault, QString("&Nein"));
        // (The box's plain text has a blank for the no-break space.) A
        // loaded machine may add a later second.
        QVERIFY(window.notices.size() >= 3);
        QCOMPARE(window.notices.mid(0, 3), QStringList({"Die Suche läuft.",
                                                         "Die Suche läuft seit 2 Sekunden.|Die Suche läuft seit 2\u00A0Sekunden.",
                                                         "Die Suche läuft seit 3 Sekunden."}));
        QCOMPARE(window.txtResult->toPlainText(), Shown(SampleBlock("M\xFCller GmbH")));
        QVERIFY(!window.buttonsEnabledDuringRun && window.busyPointerDuringRun);
        // No input method works where the focus waits.
        QCOMPARE(window.focusDuringRun, window.findChild<QWidget*>("focusSink"));
        QCOMPARE(QApplication::focusWidget(), window.cmdRecord2);
        QCOMPARE(QApplication::overrideCursor(), nullptr);
        QVERIFY(window.cmdRecord1->isEnabled() && window.cmdRecord2->isEnabled());

        window.txtResult->setFocus();
        QTest::keyClick(window.txtResult, Qt::Key_Return);
        QCOMPARE(ReadFileBytes(InFolder("fake-runs.txt")), std::string("run\nend\n"));
        QCOMPARE(window.txtResult->toPlainText(), "\n" + Shown(SampleBlock("M\xFCller GmbH")));
    }

    // "Ja" to the question breaks the lookup off: its lookup program ends
    // before it is done, its files stay, and the window goes without an
    // error box.
    void breakOffEndsTheLookupAndTheWindow() {
        ProbeWindow window;
        window.answer = "&Ja";
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        PrepareResponse(SampleScreen(), "sleep-ms 3000\n");
        QTest::mouseClick(window.cmdRecord1, Qt::LeftButton);
        QVERIFY(!window.isVisible());
        QCOMPARE(ReadFileBytes(InFolder("fake-runs.txt")), std::string("run\n"));
        QVERIFY(FileExists(keil::RequestFilePath()) && FileExists(keil::ResponseFilePath()));
        QCOMPARE(QApplication::activeModalWidget(), nullptr);
    }

    // A close request whose question still stands when the lookup ends:
    // the lookup went on meanwhile, the question goes, the record shows,
    // and a colleague who waited meanwhile gets hers.
    void questionThatStandsNeverStopsTheRun() {
        ProbeWindow window;
        window.answer = "";
        window.colleague = true;
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        PrepareResponse(SampleScreen("M\xFCller & S\xF6hne KG"), "sleep-ms 1500\n");
        QTest::mouseClick(window.cmdRecord1, Qt::LeftButton);
        QCOMPARE(window.asked, QString::fromUtf8(keil::kBreakOffQuestion));
        QCOMPARE(QApplication::activeModalWidget(), nullptr);
        QVERIFY(window.isVisible());
        QCOMPARE(window.txtResult->toPlainText(), Shown(SampleBlock("M\xFCller & S\xF6hne KG")));
        const int colleague = window.ColleagueStatus();
        QVERIFY(WIFEXITED(colleague) && WEXITSTATUS(colleague) == 0);
    }

    // A block whose first line is of 200,000 characters: the box shows the
    // beginning of it with a note of the rest of it (the cut itself:
    // DisplayText), and the lines after it whole. (A line of 10 MB: the
    // benchmark.)
    void longFirstLineKeepsTheLinesAfterIt() {
        ProbeWindow window;
        window.ShowResultBlock(Bytes(std::u16string(200'000, u'x') + u"\r\nStra\u00DFe  Hauptstr. 1\r\nOrt     Bonn\r\n"));
        QCOMPARE(window.txtResult->toPlainText().mid(static_cast<qsizetype>(keil::kMostShownPerLine)),
                 QString(" [… 196.000 weitere Zeichen dieser Zeile werden nicht angezeigt.]\nStra\u00DFe  Hauptstr. "
                         "1\nOrt     Bonn\n"));
    }
};

QTEST_MAIN(FrmMainTest)
#include "frm_main_test.moc"
