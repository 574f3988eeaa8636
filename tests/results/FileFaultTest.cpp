#include "results/SafeReplace.h"
#include "results/frmLoadTimePlots.h"
#include "tests/results/SheetRig.h"
#include "tests/support/TestRegistry.h"

#include <QDir>
#include <QFileInfo>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>
#include <QTimer>
#include <functional>

#ifdef Q_OS_UNIX
#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {
#ifdef Q_OS_UNIX
// The disc is full beyond `bytes` for every file this process writes, while the object lives.
class DiscFullAt {
public:
    explicit DiscFullAt(qint64 bytes) {
        ::getrlimit(RLIMIT_FSIZE, &m_before);
        m_signal = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = m_before;
        limit.rlim_cur = rlim_t(bytes);
        ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~DiscFullAt() {
        ::setrlimit(RLIMIT_FSIZE, &m_before);
        std::signal(SIGXFSZ, m_signal);
    }

private:
    rlimit m_before{};
    void (*m_signal)(int) = nullptr;
};

// The user's file-creation mask, while the object lives.
class Umask {
public:
    explicit Umask(mode_t mask) : m_before(::umask(mask)) {}
    ~Umask() { ::umask(m_before); }

private:
    mode_t m_before;
};

int modeOf(const QString& path) {
    struct stat st {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? int(st.st_mode & 0777) : -1;
}
#endif

const QString ExportTitle = QStringLiteral("OPEN FILE FOR EXPORT");
const QString SaveAsTitle = QStringLiteral("SAVE DATASHEET AS");
const QString ReadOnlyText =
    QStringLiteral("\rThis file is read-only or may not be written by you: it has not been replaced.\r"
                   "Please choose another file.");

// Files a stray process of ours could have left beside `path`.
QStringList temporariesBeside(const QString& path) {
    const QFileInfo info(path);
    return info.absoluteDir()
        .entryList({QStringLiteral(".*.??????")}, QDir::Files | QDir::Hidden | QDir::System)
        .filter(QRegularExpression(QStringLiteral("^\\.") + QRegularExpression::escape(info.fileName())));
}
} // namespace

// What a hostile laboratory does to the data file and the exports: a full disc in the middle of an
// append or a rewrite, read-only targets, links to the data file, no documents folder, unusual
// masks. Each case ends with the bytes of the file that matters compared.
class FileFaultTest : public QObject {
    Q_OBJECT

    struct Case {
        const char* name;
        // Runs the case on a rig whose data file "run.dat" holds two results; returns the file
        // whose bytes are compared.
        std::function<QString(SheetRig&)> run;
        std::function<QByteArray(SheetRig&)> expected;
        QStringList titles; // of the prompts, in order
    };

private slots:
    void fileFaults() {
#ifndef Q_OS_UNIX
        QSKIP("a full disc and file modes are made with POSIX calls");
#else
        const QByteArray two = SheetRig::file(2);
        auto appendRefused = [](SheetRig& rig) {
            const qint64 size = QFileInfo(rig.path(QStringLiteral("run.dat"))).size();
            DiscFullAt full(size + 20);
            return rig.sheet.AppendResult(SheetRig::result(3));
        };
        auto exportTo = [](SheetRig& rig, DatasheetCommands::Kind kind, const QString& target) {
            rig.op.answer(target);
            rig.op.answer(MsgResult::Ok);
            rig.op.cancel();
            rig.commands.ExportDatasheet(kind, QStringLiteral(","), true, false, true, {0, 1, 1, 16});
            return target;
        };
        auto protectedFile = [](SheetRig& rig) {
            const QString file = rig.write(QStringLiteral("protected.dat"), "keep me\r\n");
            QFile::setPermissions(file, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther);
            return file;
        };

        const QList<Case> cases{
            {"full disc during an append: nothing of the line stays, the next result puts it back",
             [&](SheetRig& rig) {
                 if (appendRefused(rig) || rig.sheet.lastAppendFault().number != 61 ||
                     rig.read(QStringLiteral("run.dat")) != two || rig.sheet.rowsNotInFile() != 1 ||
                     !rig.sheet.appendFailureNote().isEmpty())
                     return QString();
                 // Space again: the next row brings the one that was missed along.
                 if (!rig.sheet.AppendResult(SheetRig::result(4)) || rig.sheet.rowsNotInFile() != 0)
                     return QString();
                 return rig.path(QStringLiteral("run.dat"));
             },
             [](SheetRig&) {
                 return SheetRig::file(2) + SheetRig::line(SheetRig::result(3)) +
                        SheetRig::line(SheetRig::result(4));
             },
             {}},
            {"a broken last line: the next result starts on a line of its own",
             [&](SheetRig& rig) {
                 rig.write(QStringLiteral("run.dat"), two + "3,40.");
                 if (!rig.sheet.file2grd(rig.path(QStringLiteral("run.dat"))) ||
                     !rig.sheet.AppendResult(SheetRig::result(4)))
                     return QString();
                 return rig.path(QStringLiteral("run.dat"));
             },
             [&](SheetRig&) { return two + "3,40.\r\n" + SheetRig::line(SheetRig::result(4)); },
             {}},
            {"full disc during a rewrite: the data file stays whole, the earlier .BAK stays as it was and "
             "is not tied to the data file; the edit is written once there is room",
             [&](SheetRig& rig) {
                 rig.write(QStringLiteral("run.BAK"), "earlier backup\r\n");
                 rig.op.answer(1);
                 {
                     DiscFullAt full(200);
                     rig.sheet.SetComment(0, QStringLiteral("slipped"), QString());
                 }
                 // The message says the data file is whole and sends nobody to an older .BAK.
                 if (!rig.op.last().text.endsWith(
                         QStringLiteral("The data file on the disc is whole: it holds what it held before "
                                        "this change.")) ||
                     rig.op.last().text.contains(QStringLiteral(".BAK")))
                     return QString();
                 if (!rig.sheet.editsNotInFile() || rig.read(QStringLiteral("run.dat")) != two ||
                     rig.read(QStringLiteral("run.BAK")) != "earlier backup\r\n")
                     return QString();
                 // An append goes only to the data file, never to the backup.
                 if (!rig.sheet.AppendResult(SheetRig::result(3)) || rig.sheet.differsFromFile() ||
                     rig.read(QStringLiteral("run.BAK")) != two)
                     return QString();
                 return rig.path(QStringLiteral("run.dat"));
             },
             [&](SheetRig&) {
                 return SheetRig::header() + SheetRig::line(SheetRig::result(1, QStringLiteral("slipped"))) +
                        SheetRig::line(SheetRig::result(2)) + SheetRig::line(SheetRig::result(3));
             },
             {QStringLiteral("ERROR WRITING DATASHEET")}},
            {"full disc when the plots close: the record is already on the disc, the picture keeps its old "
             "bytes and the window stays open until there is room",
             [&](SheetRig& rig) {
                 const QString dat = rig.write(QStringLiteral("fiber7.dat"), "old record\r\n");
                 rig.write(QStringLiteral("fiber7.jpg"), "old picture");
                 rig.params.SaveLoadTimeData = true;
                 rig.params.SaveLoadTimePlots = true;
                 frmLoadTimePlots plots(rig.params, rig.op, rig.store);
                 LoadTimePlotData data;
                 data.dataText =
                     QStringLiteral("t\tload\r\n0\t0\t0.5\t1\t0\t400\r\n40\t0.1\t71.25\t1\t0\t400");
                 data.basePath = rig.path(QStringLiteral("fiber7"));
                 rig.op.answer(MsgResult::No); // keep the plots open
                 bool keptOld = false;
                 QTimer::singleShot(0, &plots, [&] {
                     {
                         DiscFullAt full(8);
                         plots.cmdClose->click();
                     }
                     keptOld = plots.isVisible() && rig.read(QStringLiteral("fiber7.jpg")) == "old picture" &&
                               rig.read(QStringLiteral("fiber7.dat")).startsWith("t\tload") &&
                               temporariesBeside(dat).isEmpty();
                     plots.cmdClose->click(); // room again
                 });
                 plots.Show(data);
                 const QString text = rig.op.prompts.value(0).text;
                 if (!keptOld || plots.isVisible() || text.contains(dat) ||
                     !text.contains(rig.path(QStringLiteral("fiber7.jpg"))) ||
                     !rig.read(QStringLiteral("fiber7.jpg")).startsWith("\xFF\xD8"))
                     return QString();
                 return dat;
             },
             [](SheetRig&) {
                 return QByteArray("t\tload\r\n0\t0\t0.5\t1\t0\t400\r\n40\t0.1\t71.25\t1\t0\t400\r\n");
             },
             {QStringLiteral("ERROR WRITING LOAD/TIME FILES")}},
            {"read-only target of an export of the whole datasheet",
             [&](SheetRig& rig) { return exportTo(rig, DatasheetCommands::Kind::Whole, protectedFile(rig)); },
             [](SheetRig&) { return QByteArray("keep me\r\n"); },
             {ExportTitle, ExportTitle, ExportTitle}},
            {"read-only target of an export of the visible columns",
             [&](SheetRig& rig) {
                 return exportTo(rig, DatasheetCommands::Kind::Visible, protectedFile(rig));
             },
             [](SheetRig&) { return QByteArray("keep me\r\n"); },
             {ExportTitle, ExportTitle, ExportTitle}},
            {"read-only target of an export of the selection",
             [&](SheetRig& rig) {
                 return exportTo(rig, DatasheetCommands::Kind::Selection, protectedFile(rig));
             },
             [](SheetRig&) { return QByteArray("keep me\r\n"); },
             {ExportTitle, ExportTitle, ExportTitle}},
            {"read-only target of Save data file: refused, the data file stays",
             [&](SheetRig& rig) {
                 const QString file = protectedFile(rig);
                 rig.op.answer(file);
                 rig.op.answer(MsgResult::Ok);
                 rig.op.cancel();
                 rig.commands.SaveAs();
                 return rig.sheet.dataFileName() == rig.path(QStringLiteral("run.dat")) ? file : QString();
             },
             [](SheetRig&) { return QByteArray("keep me\r\n"); },
             {SaveAsTitle, SaveAsTitle, SaveAsTitle}},
            {"a read-only file opened as the data file: refused, the previous one stays",
             [&](SheetRig& rig) {
                 const QString file = protectedFile(rig);
                 rig.op.answer(MsgResult::Ok);
                 if (rig.sheet.file2grd(file) ||
                     !rig.op.last().text.endsWith(QStringLiteral("It is a read only file")))
                     return QString();
                 return rig.sheet.dataFileName();
             },
             [&](SheetRig&) { return two; },
             {QStringLiteral("FILE NOT AVAILABLE FOR READ/WRITE")}},
            {"export to a symbolic link to the data file",
             [&](SheetRig& rig) {
                 QFile::link(rig.path(QStringLiteral("run.dat")), rig.path(QStringLiteral("link.csv")));
                 rig.op.answer(rig.path(QStringLiteral("link.csv")));
                 rig.op.answer(MsgResult::Ok);
                 rig.commands.ExportDatasheet(DatasheetCommands::Kind::Visible, QStringLiteral(","), false,
                                              false, true);
                 return rig.path(QStringLiteral("run.dat"));
             },
             [&](SheetRig&) { return two; },
             {ExportTitle, QStringLiteral("ERROR WRITING EXPORT FILE")}},
            {"export to another hard link of the data file",
             [&](SheetRig& rig) {
                 if (::link(QFile::encodeName(rig.path(QStringLiteral("run.dat"))).constData(),
                            QFile::encodeName(rig.path(QStringLiteral("same.dat"))).constData()) != 0)
                     return QString();
                 rig.op.answer(rig.path(QStringLiteral("same.dat")));
                 rig.op.answer(MsgResult::Ok);
                 rig.commands.ExportDatasheet(DatasheetCommands::Kind::Whole, QStringLiteral(","), false,
                                              false, true);
                 return rig.path(QStringLiteral("same.dat"));
             },
             [&](SheetRig&) { return two; },
             {ExportTitle, QStringLiteral("ERROR WRITING EXPORT FILE")}},
            {"umask 077: a new data file, its export and its saved copy are the user's alone",
             [&](SheetRig& rig) {
                 const Umask mask(077);
                 const QString fresh = rig.path(QStringLiteral("fresh.dat"));
                 if (!rig.sheet.file2grd(fresh) || !rig.sheet.AppendResult(SheetRig::result(1)))
                     return QString();
                 rig.op.answer(rig.path(QStringLiteral("out.csv")));
                 rig.commands.ExportDatasheet(DatasheetCommands::Kind::Whole, QStringLiteral(","), true,
                                              false, true);
                 if (modeOf(fresh) != 0600 || modeOf(rig.path(QStringLiteral("out.csv"))) != 0600)
                     return QString();
                 return fresh;
             },
             [](SheetRig&) { return SheetRig::file(1); },
             {ExportTitle}},
            {"umask 022: new files readable by all; a rewrite keeps the data file's own mode",
             [&](SheetRig& rig) {
                 const Umask mask(022);
                 const QString data = rig.path(QStringLiteral("run.dat"));
                 QFile::setPermissions(data, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup);
                 rig.sheet.SetComment(1, QStringLiteral("kept 0640"), QString());
                 rig.op.answer(rig.path(QStringLiteral("copy.dat")));
                 rig.op.answer(MsgResult::Ok);
                 rig.commands.SaveAs();
                 if (modeOf(data) != 0640 || modeOf(rig.path(QStringLiteral("copy.dat"))) != 0644)
                     return QString();
                 return rig.path(QStringLiteral("copy.dat"));
             },
             [](SheetRig&) {
                 return SheetRig::header() + SheetRig::line(SheetRig::result(1)) +
                        SheetRig::line(SheetRig::result(2, QStringLiteral("kept 0640")));
             },
             {SaveAsTitle, QStringLiteral("DATASHEET SAVED")}},
        };

        for (const Case& c : cases) {
            SheetRig rig;
            const QString data = rig.write(QStringLiteral("run.dat"), two);
            QVERIFY(rig.sheet.file2grd(data));
            const QString compared = c.run(rig);
            QVERIFY2(!compared.isEmpty(), c.name);
            QVERIFY2(rig.read(QFileInfo(compared).fileName()) == c.expected(rig), c.name);
            QStringList titles;
            for (const Prompt& p : std::as_const(rig.op.prompts))
                titles << p.title;
            QVERIFY2(titles == c.titles, qPrintable(QString::fromLatin1(c.name) + QStringLiteral(": ") +
                                                    titles.join(QLatin1Char('|'))));
            for (const Prompt& p : std::as_const(rig.op.prompts)) {
                if (p.kind == QStringLiteral("saveFile"))
                    QVERIFY2(p.file.refuseReadOnly, c.name);
                if (p.title != QStringLiteral("ERROR WRITING DATASHEET") &&
                    p.kind == QStringLiteral("msgBox") && p.text.endsWith(ReadOnlyText))
                    QVERIFY2(p.style == MsgStyle::Exclamation, c.name);
            }
            QVERIFY2(rig.op.unexpected.isEmpty(), c.name);
            QVERIFY2(temporariesBeside(data).isEmpty(), c.name);
        }
#endif
    }

    // Without a documents folder the data file dialog starts in the home folder with no name, and
    // the question for a name offers a way out of the program.
    void noDocumentsFolder() {
        SheetRig rig;
        const QByteArray home = qgetenv("HOME");
        qputenv("HOME", QFile::encodeName(rig.dir.path()));
        const QString chosen = rig.path(QStringLiteral("first.dat"));
        int exits = 0;
        rig.sheet.setExitProgram([&] {
            ++exits;
            return false; // the operator stays after all
        });
        rig.op.cancel();
        rig.op.answer(2); // Exit program
        rig.op.answer(chosen);
        rig.sheet.DataFileCommand();
        qputenv("HOME", home);

        QCOMPARE(rig.op.prompts.size(), 3);
        QCOMPARE(rig.op.prompts[0].file.initialFolder, rig.dir.path());
        QCOMPARE(rig.op.prompts[0].file.initialName, QString());
        QVERIFY(rig.op.prompts[0].file.refuseReadOnly);
        QCOMPARE(rig.op.prompts[1].kind, QStringLiteral("myMsgBox"));
        QCOMPARE(rig.op.prompts[1].text, QStringLiteral("A data file name must be given"));
        QCOMPARE(rig.op.prompts[1].buttons, (QStringList{"&Ok", "E&xit program"}));
        QCOMPARE(exits, 1);
        QCOMPARE(rig.sheet.dataFileName(), chosen);
        QCOMPARE(rig.read(QStringLiteral("first.dat")), SheetRig::header());
        QVERIFY(!QFileInfo::exists(rig.path(QStringLiteral("Documents"))));
    }

    // "CORRUPTED DATA?" answered Yes opens the data file dialog, as the question says; a cancelled
    // dialog brings the previous file back. Stale temporaries of a killed rewrite go on opening.
    void corruptedDataSelectsAnotherFile() {
        SheetRig rig;
        const QString good = rig.write(QStringLiteral("good.dat"), SheetRig::file(3));
        QVERIFY(rig.sheet.file2grd(good));
        QByteArray junk = SheetRig::header();
        for (int n = 0; n < 20; ++n)
            junk += "x,y,z,w,v\r\n";
        const QString bad = rig.write(QStringLiteral("bad.dat"), junk);
        const QString other = rig.write(QStringLiteral("other.dat"), SheetRig::file(2));
        rig.write(QStringLiteral(".other.dat.a1B2c3"), "half a rewrite");
        rig.write(QStringLiteral(".other.BAK.Zz9900"), "half a backup");
        rig.write(QStringLiteral(".other.dat.notours"), "someone else's");

        rig.op.answer(MsgResult::Yes);
        rig.op.answer(other);
        QVERIFY(!rig.sheet.file2grd(bad));
        QCOMPARE(rig.op.prompts[0].title, QStringLiteral("CORRUPTED DATA?"));
        QCOMPARE(rig.op.prompts[1].kind, QStringLiteral("openFile"));
        QCOMPARE(rig.op.prompts[1].title, QStringLiteral("OPEN DATA FILE"));
        QCOMPARE(rig.sheet.dataFileName(), other);
        QCOMPARE(rig.sheet.resultRows(), 2);
        QCOMPARE(QDir(rig.dir.path()).entryList({QStringLiteral(".other.*")}, QDir::Files | QDir::Hidden),
                 QStringList{QStringLiteral(".other.dat.notours")});

        rig.op.answer(MsgResult::Yes);
        rig.op.cancel();
        QVERIFY(!rig.sheet.file2grd(bad));
        QCOMPARE(rig.sheet.dataFileName(), other);
        QCOMPARE(rig.sheet.resultRows(), 2);
        QCOMPARE(rig.read(QStringLiteral("bad.dat")), junk);
        QCOMPARE(rig.read(QStringLiteral("other.dat")), SheetRig::file(2));
        QVERIFY(rig.op.unexpected.isEmpty());
    }
};

STAVELY_TEST(FileFaultTest)
#include "FileFaultTest.moc"
