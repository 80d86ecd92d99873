// The main window on Qt's offscreen platform, with the fake lookup program
// standing in for the lookup program.

#include <QApplication>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

#include "error.h"
#include "fixed_paths.h"
#include "frm_main.qt.h"
#include "support.h"

using namespace keil::test;

namespace {

QString ShownBlock(const std::string& name) {
    const std::string bytes = SampleBlock(name);
    QString block = QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
    return block.replace("\r\n", "\n");
}

int Runs() { return static_cast<int>(ReadFileBytes(InFolder("fake-runs.txt")).size() / 4); }

// A window that looks at itself while a lookup holds it, and gives input
// that must be dropped.
class ProbeWindow : public frmMain {
public:
    void SetResultText(const std::u16string& text) override {
        buttonsEnabledDuringRun = cmdRecord1->isEnabled() || cmdRecord2->isEnabled();
        busyPointerDuringRun = QApplication::overrideCursor() != nullptr &&
                               QApplication::overrideCursor()->shape() == Qt::WaitCursor;
        if (std::exchange(clickDuringRun, false)) {
            // A click on the second button, queued while the lookup holds
            // the thread, as a user's click would be.
            const QPointF centre = QRectF(cmdRecord2->rect()).center();
            for (const QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
                QCoreApplication::postEvent(
                    cmdRecord2, new QMouseEvent(type, centre, cmdRecord2->mapToGlobal(centre),
                                                Qt::LeftButton, Qt::LeftButton, Qt::NoModifier));
            }
        }
        frmMain::SetResultText(text);
    }
    bool clickDuringRun = false;
    bool buttonsEnabledDuringRun = true;
    bool busyPointerDuringRun = false;
};

template <typename T>
T* Control(QWidget& window, const char* name) {
    T* control = window.findChild<T*>(name);
    if (control == nullptr) qFatal("no control %s", name);
    return control;
}

}  // namespace

class FrmMainTest : public QObject {
    Q_OBJECT

private slots:
    void startState() {
        frmMain window;
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        QCOMPARE(window.logicalDpiX(), 96);
        QCOMPARE(window.objectName(), QString("frmMain"));
        QCOMPARE(window.windowTitle(), QString("Der Keilbrecher"));
        QCOMPARE(window.size(), QSize(345, 194));

        auto* record1 = Control<QPushButton>(window, "cmdRecord1");
        auto* record2 = Control<QPushButton>(window, "cmdRecord2");
        auto* result = Control<QPlainTextEdit>(window, "txtResult");
        QCOMPARE(record1->geometry(), QRect(16, 16, 113, 25));
        QCOMPARE(record2->geometry(), QRect(16, 48, 113, 25));
        QCOMPARE(result->geometry(), QRect(136, 16, 201, 169));
        QCOMPARE(record1->text(), QString("Erster Datensatz"));
        QCOMPARE(record2->text(), QString("Zweiter Datensatz"));
        for (QPushButton* button : {record1, record2}) {
            QVERIFY(button->isEnabled());
            QVERIFY(!button->isDefault());
            QVERIFY(!button->autoDefault());
        }
        QVERIFY(result->toPlainText().isEmpty());
        QVERIFY(!result->isReadOnly());
        QCOMPARE(result->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
        QCOMPARE(result->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
        QCOMPARE(result->lineWrapMode(), QPlainTextEdit::WidgetWidth);
        // Columns line up: narrow and wide letters take the same width.
        const QFontMetrics metrics(result->font());
        QCOMPARE(metrics.horizontalAdvance('i'), metrics.horizontalAdvance('W'));

        // Focus starts on the first button; Tab walks the controls in order.
        QCOMPARE(QApplication::focusWidget(), record1);
        for (QWidget* next : std::initializer_list<QWidget*>{record2, result, record1}) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QCOMPARE(QApplication::focusWidget(), next);
        }
    }

    void closingTheWindowEndsTheProgram() {
        frmMain window;
        window.show();
        QTimer::singleShot(0, &window, &QWidget::close);
        QTimer notClosed;  // ends the loop with a failure should closing not end it
        notClosed.setSingleShot(true);
        connect(&notClosed, &QTimer::timeout, [] { QCoreApplication::exit(99); });
        notClosed.start(5000);
        QCOMPARE(QApplication::exec(), 0);
    }

    void clickShowsTheBlock_data() {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("request");
        QTest::newRow("record 1") << "cmdRecord1" << "61 64 72 0d 31 ";
        QTest::newRow("record 2") << "cmdRecord2" << "61 64 72 0d 32 ";
    }

    void clickShowsTheBlock() {
        QFETCH(QString, button);
        QFETCH(QString, request);
        PrepareResponse(SampleScreen("M\xFCller GmbH"));
        frmMain window;
        window.show();
        QTest::mouseClick(Control<QPushButton>(window, button.toLatin1()), Qt::LeftButton);
        QCOMPARE(QString::fromStdString(ReportValue("request")), request);
        QCOMPARE(Control<QPlainTextEdit>(window, "txtResult")->toPlainText(),
                 ShownBlock("M\xFCller GmbH"));
        QVERIFY(!FileExists(keil::RequestFilePath()));
        QVERIFY(!FileExists(keil::ResponseFilePath()));
    }

    void emptyResponseKeepsTheText() {
        frmMain window;
        window.show();
        auto* result = Control<QPlainTextEdit>(window, "txtResult");
        auto* record1 = Control<QPushButton>(window, "cmdRecord1");

        PrepareResponse(SampleScreen("Muster"));
        QTest::mouseClick(record1, Qt::LeftButton);
        PrepareResponse("");
        QTest::mouseClick(record1, Qt::LeftButton);
        QCOMPARE(result->toPlainText(), ShownBlock("Muster"));

        result->setFocus();
        QTest::keyClicks(result, "getippt");
        const QString typed = result->toPlainText();
        QVERIFY(typed.contains("getippt"));
        QTest::mouseClick(record1, Qt::LeftButton);
        QCOMPARE(result->toPlainText(), typed);
        QVERIFY(record1->isEnabled());
    }

    void lookupHoldsTheWindow() {
        PrepareResponse(SampleScreen("Muster"));
        ProbeWindow window;
        window.clickDuringRun = true;
        window.show();
        QTest::mouseClick(Control<QPushButton>(window, "cmdRecord1"), Qt::LeftButton);
        QCoreApplication::processEvents();

        QVERIFY(!window.buttonsEnabledDuringRun);
        QVERIFY(window.busyPointerDuringRun);
        QCOMPARE(QApplication::overrideCursor(), nullptr);
        QCOMPARE(Runs(), 1);  // the click given during the lookup was dropped
        QVERIFY(Control<QPushButton>(window, "cmdRecord2")->isEnabled());
    }

    void errorIsShownAndEndsTheProgram() {
        PrepareResponse(std::string(9, '\n'));
        frmMain window;
        window.show();
        QString title;
        QString text;
        QTimer closer;
        connect(&closer, &QTimer::timeout, [&] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                title = box->windowTitle();
                text = box->text();
                box->accept();
            }
        });
        closer.start(10);
        QTest::mouseClick(Control<QPushButton>(window, "cmdRecord1"), Qt::LeftButton);

        QCOMPARE(title, QString("Der Keilbrecher"));
        QVERIFY2(text.startsWith(QStringLiteral("Error %1: ").arg(keil::kErrRange)), qPrintable(text));
        QVERIFY2(text.contains("response"), qPrintable(text));
        QVERIFY(!window.isVisible());
        QVERIFY(!Control<QPushButton>(window, "cmdRecord1")->isEnabled());
        QVERIFY(FileExists(keil::RequestFilePath()));
        QVERIFY(FileExists(keil::ResponseFilePath()));
    }
};

QTEST_MAIN(FrmMainTest)
#include "frm_main_test.moc"
