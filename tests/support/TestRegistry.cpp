#include "tests/support/TestRegistry.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QTest>
#include <cstdio>
#include <cstring>
#include <string>

namespace {
struct Entry {
    std::string name;
    TestRegistry::Factory factory;
    std::vector<const char*> functions; // all of them when empty
};
std::vector<Entry>& entries() {
    static std::vector<Entry> list;
    return list;
}
} // namespace

void TestRegistry::add(const char* name, Factory factory, const std::vector<Part>& parts) {
    if (parts.empty())
        entries().push_back({name, std::move(factory), {}});
    for (const Part& part : parts)
        entries().push_back({std::string(name) + '.' + part.name, factory, part.functions});
}

// Usage: test_<folder> [ClassName[.part] [qtest options...]]
//        test_<folder> --list-classes   (one registered class a line; the build reads it to name the tests)
//        test_<folder> --list-parts     (Class.part<TAB>function[:data tag], a line each; the build checks
//                                        that the parts of a class run all its functions and data rows)
// With STAVELY_TEST_LOG_DIR set, each class also writes its plain-text log to
// <dir>/test_<folder>.<Class>.txt, from which scripts/test counts the test functions.
int TestRegistry::runAll(int argc, char** argv) {
    if (argc == 2 && std::strcmp(argv[1], "--list-classes") == 0) {
        for (const auto& entry : entries())
            std::printf("%s\n", entry.name.c_str());
        return 0;
    }
    if (argc == 2 && std::strcmp(argv[1], "--list-parts") == 0) {
        for (const auto& entry : entries())
            for (const char* function : entry.functions)
                std::printf("%s\t%s\n", entry.name.c_str(), function);
        return 0;
    }
    // A low-rate pull of STAVELY_SLOW_FLOWS outlasts QtTest's five minutes a function.
    if (!qEnvironmentVariableIsEmpty("STAVELY_SLOW_FLOWS") &&
        qEnvironmentVariableIsEmpty("QTEST_FUNCTION_TIMEOUT"))
        qputenv("QTEST_FUNCTION_TIMEOUT", "1800000");
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Corvane"));
    QApplication::setApplicationName(QStringLiteral("stavely-tests"));
    std::string only;
    std::vector<char*> args{argv[0]};
    for (int i = 1; i < argc; ++i) {
        if (i == 1 && argv[i][0] != '-')
            only = argv[i];
        else
            args.push_back(argv[i]);
    }
    const QString logDir = qEnvironmentVariable("STAVELY_TEST_LOG_DIR");
    if (!logDir.isEmpty())
        QDir().mkpath(logDir);
    int failed = 0, ran = 0;
    for (const auto& entry : entries()) {
        // A class of parts runs whole, once, by its own name: its functions, or those the command
        // line names.
        const std::string className = entry.name.substr(0, entry.name.find('.'));
        const bool wholeClass = !only.empty() && only == className && className != entry.name;
        if (!only.empty() && only != entry.name && !wholeClass)
            continue;
        if (wholeClass && ran > 0)
            continue;
        auto object = entry.factory();
        ++ran;
        std::vector<char*> classArgs = args;
        QByteArray output = "-o", logOption, screenOption = "-,txt";
        if (!logDir.isEmpty()) {
            const QString file = QFileInfo(QString::fromLocal8Bit(argv[0])).completeBaseName() +
                                 QLatin1Char('.') + QString::fromStdString(entry.name) +
                                 QLatin1String(".txt,txt");
            logOption = QDir(logDir).filePath(file).toLocal8Bit();
            for (QByteArray* option : {&output, &logOption, &output, &screenOption})
                classArgs.push_back(option->data());
        }
        if (!wholeClass)
            for (const char* function : entry.functions)
                classArgs.push_back(const_cast<char*>(function));
        if (QTest::qExec(object.get(), int(classArgs.size()), classArgs.data()) != 0)
            ++failed;
    }
    std::printf("%d passed, %d failed\n", ran - failed, failed);
    return failed == 0 && ran > 0 ? 0 : 1;
}
