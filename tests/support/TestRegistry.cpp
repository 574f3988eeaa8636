#include "tests/support/TestRegistry.h"

#include <QApplication>
#include <QTest>
#include <cstdio>
#include <string>

namespace {
struct Entry {
    const char* name;
    TestRegistry::Factory factory;
};
std::vector<Entry>& entries() {
    static std::vector<Entry> list;
    return list;
}
} // namespace

void TestRegistry::add(const char* name, Factory factory) { entries().push_back({name, std::move(factory)}); }

// Usage: test_<folder> [ClassName [qtest options...]]
int TestRegistry::runAll(int argc, char** argv) {
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
    int failed = 0, ran = 0;
    for (const auto& entry : entries()) {
        if (!only.empty() && only != entry.name)
            continue;
        auto object = entry.factory();
        ++ran;
        if (QTest::qExec(object.get(), int(args.size()), args.data()) != 0)
            ++failed;
    }
    std::printf("%d passed, %d failed\n", ran - failed, failed);
    return failed == 0 && ran > 0 ? 0 : 1;
}
