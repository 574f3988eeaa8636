#pragma once

#include <QObject>
#include <functional>
#include <memory>
#include <vector>

// Each test class registers itself; a folder's test executable runs every registered class.
namespace TestRegistry {
using Factory = std::function<std::unique_ptr<QObject>()>;
// A share of a long class run as a test of its own: its name and the test functions it runs, as
// QtTest takes them on its command line ("function" or "function:data tag").
struct Part {
    const char* name;
    std::vector<const char*> functions;
};
void add(const char* name, Factory factory, const std::vector<Part>& parts = {});
int runAll(int argc, char** argv);
} // namespace TestRegistry

template <class T> struct TestRegistrar {
    explicit TestRegistrar(const char* name, const std::vector<TestRegistry::Part>& parts = {}) {
        TestRegistry::add(
            name, [] { return std::unique_ptr<QObject>(new T); }, parts);
    }
};

#define STAVELY_TEST(Class) static const TestRegistrar<Class> registrar_##Class(#Class);
// A class of long flows registered as parts (Class.part), each its own test, so that they run side by
// side and a slow one is named; together the parts must run every test function of the class.
#define STAVELY_TEST_PARTS(Class, ...)                                                                       \
    static const TestRegistrar<Class> registrar_##Class(#Class, __VA_ARGS__);
