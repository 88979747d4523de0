#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <new>
#include <string>
#include <thread>

#ifndef _WIN32
#include <fcntl.h>
#include <signal.h>
#endif

#include "platform/input_file.h"
#include "platform/os_file.h"
#include "platform/output_file.h"
#include "platform/output_set.h"
#include "platform/run_error.h"
#include "platform/stop.h"
#include "tests/support/test_support.h"

namespace vagliante {
namespace {

using test::ErrorOf;
using test::ReadFile;
using test::TempDir;
using test::WriteFile;

TEST(RunErrorTest, TextGivesNumberDescriptionAndPath) {
    RunError error(ErrorNumber::FileNotFound, "/logs/a.bin");
    EXPECT_STREQ(error.what(), "Errore 53: Impossibile trovare il file: /logs/a.bin");
    EXPECT_EQ(RunError(ErrorNumber::BadFileName, "").Text(),
              "Errore 52: Nome o numero di file non valido");
    EXPECT_EQ(RunError::FromErrno(ENOSPC, "x").Number(), 61);
    EXPECT_EQ(RunError::FromErrno(EACCES, "x").Number(), 70);
}

TEST(RunErrorTest, APathIsShownOnOneLine) {
    EXPECT_EQ(RunError(ErrorNumber::FileNotFound,
                       "a\nb\r\x01"
                       "c\\d")
                  .Text(),
              "Errore 53: Impossibile trovare il file: a\\nb\\r\\x01c\\\\d");
    // Nothing to escape: backslashes stay single, as in a Windows path.
    EXPECT_EQ(RunError(ErrorNumber::FileNotFound, "C:\\logs\\a.bin").Text(),
              "Errore 53: Impossibile trovare il file: C:\\logs\\a.bin");
    EXPECT_EQ(RunError(ErrorNumber::OutOfMemory, "").Text(), "Errore 7: Memoria esaurita");
}

TEST(RunErrorTest, RunningOutOfMemoryBecomesErrorSeven) {
    EXPECT_EQ(ErrorOf([] { RunWithErrorNumbers([]() -> int { throw std::bad_alloc(); }); }), 7);
    EXPECT_EQ(RunWithErrorNumbers([] { return 42; }), 42);
    EXPECT_THROW(RunWithErrorNumbers([] { throw RunStopped(); }), RunStopped);
}

TEST(InputFileTest, ReadsToItsFirstLengthAndReportsACut) {
    TempDir dir;
    WriteFile(dir.File("a.bin"), std::string(3 * kIoBlock, 'a'));
    InputFile in(dir.File("a.bin"));
    EXPECT_FALSE(in.IsStream());
    std::string buffer(kIoBlock, '\0');
    EXPECT_EQ(in.Read(buffer.data(), kIoBlock), kIoBlock);
    // Grown meanwhile: read to the length it had.
    {
        std::ofstream more(dir.File("a.bin"), std::ios::binary | std::ios::app);
        more << std::string(kIoBlock, 'b');
    }
    EXPECT_EQ(in.Read(buffer.data(), kIoBlock), kIoBlock);
    EXPECT_EQ(in.Read(buffer.data(), kIoBlock), kIoBlock);
    EXPECT_EQ(in.Read(buffer.data(), kIoBlock), 0u);
    // Cut below where the reading is: an error naming it.
    InputFile cut(dir.File("a.bin"));
    std::filesystem::resize_file(dir.File("a.bin"), kIoBlock / 2);
    EXPECT_EQ(test::FailureOf([&] { cut.Read(buffer.data(), kIoBlock); }),
              (test::Failure{62, dir.File("a.bin")}));
}

TEST(InputFileTest, RefusesItselfAsOutput) {
    TempDir dir;
    WriteFile(dir.File("a.bin"), "x");
    WriteFile(dir.File("b.bin"), "x");
    InputFile in(dir.File("a.bin"));
    EXPECT_EQ(ErrorOf([&] { in.RefuseAsOutput(dir.File("a.bin")); }), 55);
    EXPECT_EQ(ErrorOf([&] { in.RefuseAsOutput(dir.File("b.bin")); }), 0);
    EXPECT_EQ(ErrorOf([&] { in.RefuseAsOutput(dir.File("none.bin")); }), 0);
}

TEST(InputFileTest, ReadsWholeFileAndReportsMissingOnes) {
    TempDir dir;
    WriteFile(dir.File("a.bin"), "hello");
    InputFile in(dir.File("a.bin"));
    EXPECT_EQ(in.Length(), 5);
    char buffer[16];
    EXPECT_EQ(in.Read(buffer, sizeof buffer), 5u);
    EXPECT_EQ(in.Read(buffer, sizeof buffer), 0u);

    EXPECT_EQ(ErrorOf([&] { InputFile f(dir.File("missing.bin")); }), 53);
    EXPECT_EQ(ErrorOf([&] { InputFile f(dir.File("no/such/folder.bin")); }), 76);
    EXPECT_EQ(ErrorOf([&] { InputFile f(dir.Path()); }), 75);
    EXPECT_EQ(ErrorOf([&] { InputFile f(""); }), 52);
}

// ---- FileView ----

// Bytes that differ from block to block and within each.
std::string Pattern(std::size_t size) {
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<char>((i * 131 + i / 4099) & 0xFF);
    return bytes;
}

// The bytes a view shows of [offset, offset + size), copied where nothing
// is allocated meanwhile (a mapped read may be abandoned where it stands).
std::string Shown(FileView& view, std::int64_t offset, std::size_t size) {
    std::string seen(size, '\0');
    view.Read(offset, size, [&](const std::uint8_t* data) {
        if (size > 0) std::memcpy(seen.data(), data, size);
    });
    return seen;
}

// Each case runs with the stretches mapped (where the system maps files) and read.
class FileViewTest : public ::testing::TestWithParam<bool> {};

TEST_P(FileViewTest, ShowsAnyStretchWhereverItStarts) {
    TempDir dir;
    const std::string content = Pattern(3 * kIoBlock + 77);
    WriteFile(dir.File("a.bin"), content);
    InputFile in(dir.File("a.bin"));
    FileView view(in, in.Length(), GetParam());
    EXPECT_EQ(view.IsMapped(), GetParam() && os::MapsFiles());
    for (std::int64_t offset : {0, 1, 4095, 4096, 4097, 1 << 20})
        for (std::size_t size : {std::size_t{0}, std::size_t{1}, std::size_t{5000}, kIoBlock + 3}) {
            EXPECT_EQ(Shown(view, offset, size),
                      content.substr(static_cast<std::size_t>(offset), size))
                << offset << " " << size;
        }
    // To the last byte, and not past it.
    EXPECT_EQ(Shown(view, 3 * kIoBlock, 77), content.substr(3 * kIoBlock));
    EXPECT_EQ(test::ErrorOf([&] { Shown(view, 3 * kIoBlock, 78); }), 5);
}

TEST_P(FileViewTest, StopsAtTheFirstLengthOfAFileThatGrows) {
    TempDir dir;
    const std::string content = Pattern(kIoBlock + 10);
    WriteFile(dir.File("a.bin"), content);
    InputFile in(dir.File("a.bin"));
    FileView view(in, in.Length(), GetParam());
    std::ofstream(dir.File("a.bin"), std::ios::binary | std::ios::app) << std::string(5000, 'x');
    EXPECT_EQ(Shown(view, 0, content.size()), content);
    EXPECT_EQ(test::ErrorOf([&] { Shown(view, 0, content.size() + 1); }), 5);
    view.CheckLength();
}

// A file cut shorter by another program while it is read: past the stretch
// in hand (a mapped read there faults), and within its last page (a mapped
// read there finds zeros, which CheckLength catches): an error naming the
// file either way.
TEST_P(FileViewTest, AFileCutWhileItIsReadIsPastEndOfFile) {
    TempDir dir;
    const std::size_t length = 3 * kIoBlock + 5000;
    for (std::size_t cutTo : {kIoBlock / 2, length - 100}) {
        SCOPED_TRACE(cutTo);
        WriteFile(dir.File("a.bin"), Pattern(length));
        InputFile in(dir.File("a.bin"));
        FileView view(in, in.Length(), GetParam());
        std::filesystem::resize_file(dir.File("a.bin"), cutTo);
        EXPECT_EQ(test::FailureOf([&] {
                      Shown(view, 0, length);
                      view.CheckLength();
                  }),
                  (test::Failure{62, dir.File("a.bin")}));
    }
}

// Several threads read one open file at once, each with its own view; the
// file's own read position stays where it was, except on Windows.
TEST_P(FileViewTest, SeveralThreadsReadOneFileAtOnce) {
    TempDir dir;
    const std::string content = Pattern(2 * kIoBlock + 333);
    WriteFile(dir.File("a.bin"), content);
    InputFile in(dir.File("a.bin"));
    char head[10];
    ASSERT_EQ(in.Read(head, sizeof head), sizeof head);
    std::string seen[3];
    std::vector<std::thread> threads;
    for (std::string& out : seen)
        threads.emplace_back([&] {
            FileView view(in, in.Length(), GetParam());
            for (std::size_t at = 0; at < content.size(); at += kIoBlock)
                out += Shown(view, static_cast<std::int64_t>(at),
                             std::min(kIoBlock, content.size() - at));
        });
    for (std::thread& thread : threads) thread.join();
    for (const std::string& out : seen) EXPECT_TRUE(out == content);
#ifndef _WIN32
    char next[10];
    ASSERT_EQ(in.Read(next, sizeof next), sizeof next);
    EXPECT_EQ(std::string(next, sizeof next), content.substr(10, 10));
#endif
}

INSTANTIATE_TEST_SUITE_P(MappedAndRead, FileViewTest, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "Mapped" : "Read"; });

#ifndef _WIN32
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kAddressSanitizer = true;
#elif defined(__has_feature)
constexpr bool kAddressSanitizer = __has_feature(address_sanitizer);
#else
constexpr bool kAddressSanitizer = false;
#endif

// The guard: a failure thrown by a scan passes through it and leaves it
// ready for the next; a fault outside any guarded scan still ends the
// process as SIGBUS does.
TEST(RunGuardedTest, PassesFailuresThroughAndLeavesOtherFaultsAlone) {
    TempDir dir;
    WriteFile(dir.File("a.bin"), Pattern(3 * 4096));
    InputFile in(dir.File("a.bin"));
    const std::uint8_t* view = os::MapRead(in.Native(), 0, 3 * 4096, in.Path());
    std::filesystem::resize_file(dir.File("a.bin"), 100);
    struct Read {
        const std::uint8_t* at;
        int value = 0;
    };
    auto read = [](void* r) {
        auto* what = static_cast<Read*>(r);
        what->value = *static_cast<const volatile std::uint8_t*>(what->at);
    };
    Read inside{view + 99}, past{view + 2 * 4096};
    EXPECT_TRUE(os::RunGuarded(read, &inside));
    EXPECT_EQ(inside.value, static_cast<unsigned char>(Pattern(100)[99]));
    EXPECT_THROW(os::RunGuarded([](void*) { throw RunError(ErrorNumber::DiskFull, "x"); }, nullptr),
                 RunError);
    EXPECT_FALSE(os::RunGuarded(read, &past));
    EXPECT_FALSE(os::RunGuarded(read, &past));  // again: the guard was restored
    // AddressSanitizer, whose handler was there first, reports it and aborts.
    auto killedByTheFault = [](int status) {
        return ::testing::KilledBySignal(SIGBUS)(status) ||
               (kAddressSanitizer && ::testing::KilledBySignal(SIGABRT)(status));
    };
    EXPECT_EXIT(
        {
            (void)*static_cast<const volatile std::uint8_t*>(view + 2 * 4096);
            std::exit(0);
        },
        killedByTheFault, "");
    os::Unmap(view, 3 * 4096);
}
#endif

TEST(AtomicOutputTest, CommitReplacesTheDestinationInOneStep) {
    TempDir dir;
    const std::string dest = dir.File("out.txt");
    WriteFile(dest, "old content that is longer than the new one");
    {
        AtomicOutput out(dest);
        out.Stream().WriteLine("new");
        // Until the commit the old file is untouched.
        EXPECT_EQ(ReadFile(dest), "old content that is longer than the new one");
        out.Commit();
    }
    EXPECT_EQ(ReadFile(dest), "new\r\n");
    EXPECT_EQ(dir.List(), std::vector<std::string>{"out.txt"});
}

TEST(AtomicOutputTest, AnUncommittedOutputLeavesNoTrace) {
    TempDir dir;
    const std::string dest = dir.File("out.txt");
    WriteFile(dest, "keep me");
    {
        AtomicOutput out(dest);
        out.Stream().Write(std::string(3 * kIoBlock, 'x'));  // some of it flushed
    }
    EXPECT_EQ(ReadFile(dest), "keep me");
    EXPECT_EQ(dir.List(), std::vector<std::string>{"out.txt"});

    { AtomicOutput out(dir.File("new.txt")); }
    EXPECT_EQ(dir.List(), std::vector<std::string>{"out.txt"});
}

TEST(OutputSetTest, CommitsAllOrLeavesAllAsTheyWere) {
    TempDir dir;
    WriteFile(dir.File("a.txt"), "old a");
    {
        OutputSet set({dir.File("a.txt"), dir.File("b.txt")});
        ASSERT_EQ(set.Size(), 2u);
        set[0].Stream().Write("new a");
        set[1].Stream().Write("new b");
        EXPECT_FALSE(set[0].IsDirect());
        EXPECT_EQ(os::FolderOf(set[0].TemporaryPath()), dir.Path());
        set.Commit();
    }
    EXPECT_EQ(ReadFile(dir.File("a.txt")), "new a");
    EXPECT_EQ(ReadFile(dir.File("b.txt")), "new b");
    EXPECT_EQ(dir.List(), (std::vector<std::string>{"a.txt", "b.txt"}));

    // A stop asked for before the commit: nothing changes.
    {
        OutputSet set({dir.File("a.txt"), dir.File("c.txt")});
        set[0].Stream().Write("newer");
        RequestStop(15);
        EXPECT_THROW(set.Commit(), RunStopped);
        ClearStop();
    }
    EXPECT_EQ(ReadFile(dir.File("a.txt")), "new a");
    EXPECT_EQ(dir.List(), (std::vector<std::string>{"a.txt", "b.txt"}));
}

TEST(AtomicOutputTest, TheTemporaryNameIsRecognisableAndFitsTheNameLimit) {
    TempDir dir;
    {
        AtomicOutput out(dir.File("REPORT.TXT"));
        const std::string name = out.TemporaryPath().substr(dir.Path().size() + 1);
        EXPECT_EQ(name.rfind("REPORT.TXT.~vagliante-", 0), 0u) << name;
        EXPECT_EQ(name.size(), std::string("REPORT.TXT.~vagliante-12345678.tmp").size());
    }
    {
        const std::string longest(255, 'L');
        AtomicOutput out(dir.File(longest));
        const std::string name = out.TemporaryPath().substr(dir.Path().size() + 1);
        EXPECT_LE(name.size(), 255u);
        EXPECT_EQ(name.rfind("LLL", 0), 0u);
        out.Commit();
    }
    EXPECT_EQ(dir.List(), std::vector<std::string>{std::string(255, 'L')});
}

TEST(AtomicOutputTest, BadDestinationsAreClearErrors) {
    TempDir dir;
    EXPECT_EQ(ErrorOf([] { AtomicOutput out(""); }), 52);
    EXPECT_EQ(ErrorOf([&] { AtomicOutput out(dir.File("missing/out.txt")); }), 76);
    EXPECT_EQ(ErrorOf([&] { AtomicOutput out(dir.Path()); }), 75);
    EXPECT_EQ(ErrorOf([&] { AtomicOutput out(dir.Path() + "/"); }), 52);
    EXPECT_TRUE(dir.List().empty());
}

// An output over a new file of its own.
struct ScratchOutput {
    TempDir dir;
    std::string path = dir.File("out.dat");
    OutputFile out{os::CreateNew(path), path, OutputKind::Durable};
};

// Writes of every kind across many blocks, while earlier blocks are still
// being written in the background, land in order; Position counts them all.
TEST(OutputFileTest, MixedWritesAcrossBlocksKeepTheirOrder) {
    ScratchOutput work;
    OutputFile& out = work.out;
    std::string expected;
    for (int i = 0; expected.size() < 5 * kIoBlock; ++i) {
        std::string piece(static_cast<std::size_t>(i * 7919) % 5000 + 1,
                          static_cast<char>('a' + i % 26));
        if (i % 3 == 0) {
            char* room = out.Reserve(piece.size());
            std::copy(piece.begin(), piece.end(), room);
            out.Commit(piece.size());
        } else if (i % 50 == 1) {
            piece.assign(kIoBlock + 3, static_cast<char>('A' + i % 26));  // a direct write
            out.Write(piece);
        } else {
            out.WriteLine(piece);
            piece += "\r\n";
        }
        expected += piece;
        ASSERT_EQ(out.Position(), static_cast<std::int64_t>(expected.size()));
    }
    out.Close();
    EXPECT_EQ(ReadFile(work.path), expected);
}

// An output starts small and grows: flushing while it is small, then
// writes that grow it step by step up to the background writes, keep every
// byte in order.
TEST(OutputFileTest, AGrowingOutputKeepsItsBytesThroughEveryStep) {
    ScratchOutput work;
    OutputFile& out = work.out;
    std::string expected(100, 'x');
    out.Write(expected);
    out.Flush();
    EXPECT_EQ(ReadFile(work.path), expected);
    for (int i = 0; expected.size() < 3 * kIoBlock; ++i) {
        std::string piece(static_cast<std::size_t>(i * 131) % 9000 + 1,
                          static_cast<char>('a' + i % 26));
        if (i % 2 == 0) {
            std::copy(piece.begin(), piece.end(), out.Reserve(piece.size()));
            out.Commit(piece.size());
        } else {
            out.Write(piece);
        }
        expected += piece;
        ASSERT_EQ(out.Position(), static_cast<std::int64_t>(expected.size()));
    }
    out.Close();
    EXPECT_EQ(ReadFile(work.path), expected);
}

#ifndef _WIN32
// A write that fails on the background thread is reported by a later call,
// at the latest by Close, and by every call after it.
TEST(OutputFileTest, ABackgroundWriteFailureIsReported) {
    const int fd = ::open("/dev/full", O_WRONLY);
    if (fd < 0) GTEST_SKIP() << "no /dev/full";
    OutputFile out(fd, "/dev/full", OutputKind::Stream);
    const std::string line(1000, 'x');
    int failure = 0;
    for (int i = 0; i < 10000 && failure == 0; ++i) failure = ErrorOf([&] { out.WriteLine(line); });
    EXPECT_EQ(failure, 61);
    EXPECT_EQ(ErrorOf([&] { out.Flush(); }), 61);
    EXPECT_EQ(ErrorOf([&] { out.Close(); }), 61);
    EXPECT_FALSE(out.IsOpen());
}
#endif

TEST(ProgressTrackerTest, ReportsBoundedIncreasingPositionsFromOneToEnd) {
    test::RecordingProgress progress;
    const std::int64_t length = 1'000'000;
    {
        ProgressTracker tracker(progress, length);
        for (std::int64_t p = 1; p <= length + 1; p += 97) tracker.At(p);
        tracker.Finish();
    }
    ASSERT_EQ(progress.maxima, std::vector<double>{length + 1.0});
    ASSERT_GE(progress.values.size(), 3u);
    EXPECT_EQ(progress.values.front(), 1.0);
    EXPECT_EQ(progress.values[progress.values.size() - 2], length + 1.0);
    EXPECT_EQ(progress.values.back(), kProgressEmpty);
    EXPECT_LE(progress.values.size(), static_cast<std::size_t>(ProgressTracker::kSteps + 3));
    for (std::size_t i = 1; i + 1 < progress.values.size(); ++i)
        EXPECT_LT(progress.values[i - 1], progress.values[i]);
}

TEST(ProgressTrackerTest, AnAbandonedReadLeavesTheBarEmpty) {
    test::RecordingProgress progress;
    { ProgressTracker tracker(progress, 10); }
    EXPECT_EQ(progress.values.back(), kProgressEmpty);
}

}  // namespace
}  // namespace vagliante
