// A thread that the system will not start (no memory left for it) is error 7
// wherever a filter asks for one, never an abort, and the reports stay as
// they were. pthread_create is replaced in this program: armed, it fails
// the Nth call; else it passes each call on.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <pthread.h>

#include <atomic>
#include <cerrno>

#include "filter/filters.h"
#include "tests/support/test_support.h"
#include "tools/sample_log.h"

namespace {
std::atomic<int> gFailAt{0};  // the call that fails, counting down; 0: none
}  // namespace

extern "C" int pthread_create(pthread_t* thread, const pthread_attr_t* attr,
                              void* (*start)(void*), void* argument) {
    using Create = int (*)(pthread_t*, const pthread_attr_t*, void* (*)(void*), void*);
    static const auto real = reinterpret_cast<Create>(dlsym(RTLD_NEXT, "pthread_create"));
    if (gFailAt.load() > 0 && gFailAt.fetch_sub(1) == 1) return EAGAIN;
    return real(thread, attr, start, argument);
}

namespace vagliante {
namespace {

TEST(ThreadStartTest, AWorkerThatCannotStartIsOutOfMemory) {
    test::TempDir dir;
    samples::Rng rng(3);
    test::WriteFile(dir.File("LOG.BIN"), samples::RandomLog(std::size_t{9} << 20, rng));
    test::WriteFile(dir.File("OUT.TXT"), "earlier");
    NullProgress none;
    // Two workers for the count, two for the selection, the report's own.
    const ScanOptions twoWorkers{std::int64_t{256} << 10, 0, 2};
    for (int failing = 1; failing <= 5; ++failing) {
        SCOPED_TRACE(failing);
        gFailAt = failing;
        EXPECT_EQ(test::ErrorOf([&] {
                      FilterUpdateWith(dir.File("LOG.BIN"), dir.File("OUT.TXT"), none, twoWorkers);
                  }),
                  7);
        EXPECT_EQ(gFailAt.load(), 0) << "the failing call never came";
        EXPECT_TRUE(test::ReadFile(dir.File("OUT.TXT")) == "earlier");
        EXPECT_EQ(dir.List(), (std::vector<std::string>{"LOG.BIN", "OUT.TXT"}));
    }
    gFailAt = 1;  // as many workers as the cores allow
    EXPECT_EQ(test::ErrorOf([&] { FilterUpdate(dir.File("LOG.BIN"), dir.File("OUT.TXT"), none); }),
              7);
    gFailAt = 0;
}

}  // namespace
}  // namespace vagliante
