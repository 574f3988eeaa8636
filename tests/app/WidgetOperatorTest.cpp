#include "app/WidgetOperator.h"
#include "app/FileDialogFilter.h"
#include "app/MyMsgBox.h"
#include "tests/app/ModalDriver.h"
#include "tests/support/TestRegistry.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFile>
#include <QFileDialog>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

namespace {
struct SeenBox {
    QString title, text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QList<QMessageBox::StandardButton> buttons;
    QMessageBox::StandardButton defaultButton = QMessageBox::NoButton;
};

// Answers the next plain message box with `press` and records what it showed.
void answerMessageBox(SeenBox& seen, QMessageBox::StandardButton press) {
    whenModal<QMessageBox>([&seen, press](QMessageBox* box) {
        seen.title = box->windowTitle();
        seen.text = box->text();
        seen.icon = box->icon();
        for (QAbstractButton* b : box->buttons())
            seen.buttons.append(box->standardButton(b));
        if (box->defaultButton() != nullptr)
            seen.defaultButton = box->standardButton(box->defaultButton());
        if (QAbstractButton* b = box->button(press))
            b->click();
        else
            box->close();
    });
}
} // namespace

class WidgetOperatorTest : public QObject {
    Q_OBJECT
private slots:
    void msgBoxButtonsAndAnswers_data() {
        QTest::addColumn<int>("style");
        QTest::addColumn<int>("press");
        QTest::addColumn<int>("expected");
        QTest::addColumn<int>("buttonCount");
        QTest::addColumn<int>("icon");
        QTest::newRow("OK only") << int(MsgStyle::OkOnly) << int(QMessageBox::Ok) << int(MsgResult::Ok) << 1
                                 << int(QMessageBox::NoIcon);
        QTest::newRow("OK/Cancel, Cancel")
            << MsgStyle::OkCancel + MsgStyle::Information << int(QMessageBox::Cancel)
            << int(MsgResult::Cancel) << 2 << int(QMessageBox::Information);
        QTest::newRow("Abort/Retry/Ignore, Ignore")
            << int(MsgStyle::AbortRetryIgnore) << int(QMessageBox::Ignore) << int(MsgResult::Ignore) << 3
            << int(QMessageBox::NoIcon);
        QTest::newRow("Yes/No/Cancel, Yes")
            << MsgStyle::YesNoCancel + MsgStyle::Question << int(QMessageBox::Yes) << int(MsgResult::Yes) << 3
            << int(QMessageBox::Question);
        QTest::newRow("Yes/No, No") << MsgStyle::YesNo + MsgStyle::Exclamation << int(QMessageBox::No)
                                    << int(MsgResult::No) << 2 << int(QMessageBox::Warning);
        QTest::newRow("Retry/Cancel, Retry")
            << MsgStyle::RetryCancel + MsgStyle::Critical << int(QMessageBox::Retry) << int(MsgResult::Retry)
            << 2 << int(QMessageBox::Critical);
        QTest::newRow("OK/Cancel closed") << int(MsgStyle::OkCancel) << int(QMessageBox::NoButton)
                                          << int(MsgResult::Cancel) << 2 << int(QMessageBox::NoIcon);
    }

    void msgBoxButtonsAndAnswers() {
        QFETCH(int, style);
        QFETCH(int, press);
        QFETCH(int, expected);
        QFETCH(int, buttonCount);
        QFETCH(int, icon);
        WidgetOperator op;
        SeenBox seen;
        answerMessageBox(seen, QMessageBox::StandardButton(press));
        QCOMPARE(op.msgBox(QStringLiteral("Line 1\rLine 2"), style, QStringLiteral("NO BREAK DETECTED")),
                 expected);
        QCOMPARE(seen.title, QStringLiteral("NO BREAK DETECTED"));
        QCOMPARE(seen.text, QStringLiteral("Line 1\nLine 2"));
        QCOMPARE(seen.buttons.size(), buttonCount);
        QCOMPARE(int(seen.icon), icon);
    }

    void msgBoxTitleAndDefaultButton() {
        WidgetOperator op;
        SeenBox seen;
        answerMessageBox(seen, QMessageBox::Yes);
        QCOMPARE(op.msgBox(QStringLiteral("Sure?"), MsgStyle::YesNo + MsgStyle::Question + 256),
                 int(MsgResult::Yes));
        QCOMPARE(seen.title, QStringLiteral("STAVELY"));
        QCOMPARE(seen.defaultButton, QMessageBox::No);
    }

    void inputBoxAnswersOrCancels() {
        WidgetOperator op;
        QString label, title, start;
        whenModal<QInputDialog>([&](QInputDialog* d) {
            label = d->labelText();
            title = d->windowTitle();
            start = d->textValue();
            d->findChild<QLineEdit*>()->setText(QStringLiteral("-200000"));
            static_cast<QDialog*>(d)->accept();
        });
        QCOMPARE(op.inputBox(QStringLiteral("Go to position"), QString(), QStringLiteral("12")),
                 std::optional<QString>(QStringLiteral("-200000")));
        QCOMPARE(label, QStringLiteral("Go to position"));
        QCOMPARE(title, QStringLiteral("STAVELY"));
        QCOMPARE(start, QStringLiteral("12"));

        whenModal<QInputDialog>([](QInputDialog* d) { d->reject(); });
        QCOMPARE(op.inputBox(QStringLiteral("Go to position"), QStringLiteral("GO TO"), QStringLiteral("12")),
                 std::nullopt);
    }

    void filterTranslation_data() {
        QTest::addColumn<QString>("filter");
        QTest::addColumn<QString>("expected");
        QTest::newRow("description carries its patterns")
            << "Configuration files (*.ini)|*.ini|All files (*.*)|*.*"
            << "Configuration files (*.ini);;All files (*)";
        QTest::newRow("several patterns") << "Config (*.ini;*.cfg)|*.ini;*.cfg"
                                          << "Config (*.ini *.cfg)";
        QTest::newRow("description without patterns") << "Data files|*.csv"
                                                      << "Data files (*.csv)";
        QTest::newRow("lone description") << "Calibration (*.cal)"
                                          << "Calibration (*.cal)";
        QTest::newRow("empty") << ""
                               << "";
    }

    void filterTranslation() {
        QFETCH(QString, filter);
        QFETCH(QString, expected);
        QCOMPARE(FileDialogFilter::toQt(filter), expected);
    }

    void suffixOfTheChosenKind_data() {
        QTest::addColumn<QString>("entry");
        QTest::addColumn<QString>("suffix");
        QTest::newRow("comma separated") << "Comma separated values (*.csv)"
                                         << "csv";
        QTest::newRow("first of several") << "Config (*.ini *.cfg)"
                                          << "ini";
        QTest::newRow("every file") << "All files (*)"
                                    << "";
        QTest::newRow("no pattern") << "Data files"
                                    << "";
        QTest::newRow("name pattern") << "Logs (log*.txt)"
                                      << "";
    }
    void suffixOfTheChosenKind() {
        QFETCH(QString, entry);
        QFETCH(QString, suffix);
        QCOMPARE(FileDialogFilter::suffix(entry), suffix);
    }

    void fileDialogs() {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString existing = dir.filePath(QStringLiteral("old.ini"));
        QFile f(existing);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.close();

        WidgetOperator op;
        FileDialogRequest request;
        request.title = QStringLiteral("Load configuration");
        request.filter = QStringLiteral("Configuration files (*.ini)|*.ini|All files (*.*)|*.*");
        request.initialFolder = dir.path();
        request.mustExist = true;
        QStringList filters;
        QString directory;
        QFileDialog::AcceptMode mode = QFileDialog::AcceptSave;
        // The file name is typed as the operator would: selectFile() leaves a focused name box alone.
        whenModal<QFileDialog>([&](QFileDialog* d) {
            filters = d->nameFilters();
            directory = d->directory().absolutePath();
            mode = d->acceptMode();
            d->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText(QStringLiteral("old.ini"));
            static_cast<QDialog*>(d)->accept();
        });
        QCOMPARE(op.openFileName(request), existing);
        QCOMPARE(filters, (QStringList{"Configuration files (*.ini)", "All files (*)"}));
        QCOMPARE(directory, QDir(dir.path()).absolutePath());
        QCOMPARE(mode, QFileDialog::AcceptOpen);

        whenModal<QFileDialog>([](QFileDialog* d) { d->reject(); });
        QCOMPARE(op.openFileName(request), QString());

        // A new file is only taken once the operator agrees to create it.
        const QString fresh = dir.filePath(QStringLiteral("new.ini"));
        request.mustExist = false;
        request.confirmCreate = true;
        SeenBox seen;
        whenModal<QFileDialog>([&](QFileDialog* d) {
            d->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText(QStringLiteral("new.ini"));
            answerMessageBox(seen, QMessageBox::Yes);
            static_cast<QDialog*>(d)->accept();
        });
        QCOMPARE(op.openFileName(request), fresh);
        QVERIFY(seen.text.startsWith(fresh + QLatin1Char('\n')));
        QCOMPARE(seen.title, QStringLiteral("Load configuration"));

        FileDialogRequest save;
        save.filter = request.filter;
        save.initialFolder = dir.path();
        save.initialName = QStringLiteral("results.ini");
        save.confirmOverwrite = true;
        bool confirms = false;
        whenModal<QFileDialog>([&](QFileDialog* d) {
            mode = d->acceptMode();
            confirms = !d->testOption(QFileDialog::DontConfirmOverwrite);
            static_cast<QDialog*>(d)->accept();
        });
        QCOMPARE(op.saveFileName(save), dir.filePath(QStringLiteral("results.ini")));
        QCOMPARE(mode, QFileDialog::AcceptSave);
        QVERIFY(confirms);

        // A name typed without an extension gets that of the kind chosen, the export's ".csv" first.
        save.filter = QStringLiteral("Data files (*.dat)|*.dat|Comma separated values (*.csv)|*.csv|All "
                                     "files (*.*)|*.*");
        save.initialName.clear();
        save.filterIndex = 1;
        for (const auto& [kind, expected] :
             {std::pair{-1, "batch7.csv"}, std::pair{0, "batch7.dat"}, std::pair{2, "batch7"}}) {
            whenModal<QFileDialog>([kind = kind](QFileDialog* d) {
                // Chosen as the operator chooses it, in the dialog's list of kinds.
                if (auto* kinds = d->findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
                    kinds && kind >= 0) {
                    kinds->setCurrentIndex(kind);
                    emit kinds->activated(kind);
                    emit kinds->textActivated(kinds->currentText());
                }
                d->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText(QStringLiteral("batch7"));
                static_cast<QDialog*>(d)->accept();
            });
            QCOMPARE(op.saveFileName(save), dir.filePath(QLatin1String(expected)));
        }
    }

    void ownWindowsThroughTheSeam() {
        WidgetOperator op;
        MyMsgBoxRequest request;
        request.prompt = QStringLiteral("Select what you want to do:");
        request.buttons = {QStringLiteral("&Scan"), QStringLiteral("&Exit program"),
                           QStringLiteral("&Continue"), QString()};
        request.title = QStringLiteral("SCAN FOR SYSTEM CONTROLLER");
        whenModal<MyMsgBox>([](MyMsgBox* w) { QTest::keyClick(focusTarget(w), Qt::Key_C); });
        QCOMPARE(op.myMsgBox(request), 3);

        whenModal<QDialog>(
            [](QDialog* w) { w->findChild<QPushButton*>(QStringLiteral("CancelButton"))->click(); });
        QVERIFY(op.waitCountdown(5, QStringLiteral("WAIT")));

        QString caption, text;
        whenModal<QDialog>([&](QDialog* w) {
            caption = w->findChild<QLabel*>(QStringLiteral("lblCaption"))->text();
            text = w->findChild<QPlainTextEdit*>(QStringLiteral("txtLongString"))->toPlainText();
            QTest::keyClick(w->findChild<QPushButton*>(QStringLiteral("cmdOk")), Qt::Key_Space);
        });
        op.showLongString(QStringLiteral("Settings"), QStringLiteral("All values"),
                          QStringLiteral("A 1\r\nB 2\r\n"));
        QCOMPARE(caption, QStringLiteral("All values"));
        QCOMPARE(text, QStringLiteral("A 1\nB 2\n"));

        double value = 7;
        op.showProgress(QStringLiteral("Working"), QString(), 0, 5);
        op.updateProgress(value, QString());
        QCOMPARE(value, 5.0);
        op.progressDone();
    }
};

STAVELY_TEST(WidgetOperatorTest)
#include "WidgetOperatorTest.moc"
