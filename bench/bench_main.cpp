#include "Bench.h"

#include <QApplication>

#include <atomic>
#include <cstdlib>
#include <malloc.h>
#include <new>

namespace {
std::atomic<std::size_t> g_allocated{0};
}

std::size_t bench::allocatedBytes()
{
    return g_allocated.load();
}

// Counting allocation, so that benchmarks can report the memory they hold.
void *operator new(std::size_t size)
{
    void *p = std::malloc(size == 0 ? 1 : size);
    if (!p)
        throw std::bad_alloc();
    g_allocated += malloc_usable_size(p);
    return p;
}

void operator delete(void *p) noexcept
{
    if (!p)
        return;
    g_allocated -= malloc_usable_size(p);
    std::free(p);
}

void operator delete(void *p, std::size_t) noexcept
{
    operator delete(p);
}

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    // With names given, only those benchmarks run.
    const QStringList wanted = QApplication::arguments().mid(1);
    for (const auto &[name, run] : bench::registry()) {
        if (wanted.isEmpty() || wanted.contains(QString::fromStdString(name)))
            run();
    }
    return 0;
}
