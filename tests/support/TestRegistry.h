#pragma once

#include <QObject>
#include <functional>
#include <memory>
#include <vector>

// Each test class registers itself; a folder's test executable runs every registered class.
namespace TestRegistry {
using Factory = std::function<std::unique_ptr<QObject>()>;
void add(const char* name, Factory factory);
int runAll(int argc, char** argv);
} // namespace TestRegistry

template <class T> struct TestRegistrar {
    explicit TestRegistrar(const char* name) {
        TestRegistry::add(name, [] { return std::unique_ptr<QObject>(new T); });
    }
};

#define STAVELY_TEST(Class) static const TestRegistrar<Class> registrar_##Class(#Class);
