// Windows as users' machines are: names that Windows takes for devices.
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "convert/convert.h"
#include "filter/filters.h"
#include "platform/run_error.h"
#include "tests/support/test_support.h"
#include "tools/sample_log.h"

namespace vagliante {
namespace {

using test::FailureOf;
using test::TempDir;
using test::WriteFile;

using Work = void (*)(const std::string&, const std::string&, Progress&);

std::string Catalogue() {
    samples::Rng rng(11);
    return samples::MixedCatalogue(rng);
}

// ---- Names of devices ----

// A name Windows takes for a device, in any case, with any extension, with
// blanks before it, with folders before it, is refused before anything is
// read: the report would go to a serial port, a printer or the console. The
// activation reports are named after the destination: COM1.TXT gives
// COM1-5C.TXT and the others, which are files. NUL stays the null device.
TEST(DeviceNameTest, DeviceNamesAreRefusedAndNulIsTheNullDevice) {
    TempDir dir;
    const std::string log = dir.File("LOG.BIN");
    WriteFile(log, Catalogue());
    NullProgress none;
    const std::vector<std::string> devices = {
        dir.File("COM1.TXT"), dir.File("aux.txt"),     dir.File("Lpt2.Txt"),
        dir.File("CON .TXT"), dir.File("COM¹.TXT"),    dir.File("COM0.TXT"),
        dir.File("prn"),      dir.File("CONOUT$.TXT"), "aux",
        "C:LPT9.a.b"};
    const Work works[] = {test::WithoutSummary<FilterUpdate>, ConvertBinToTxt, ConvertTxtToBin};
    for (Work work : works)
        for (const std::string& device : devices) {
            SCOPED_TRACE(device);
            EXPECT_EQ(FailureOf([&] { work(log, device, none); }), (test::Failure{52, device}));
        }
    EXPECT_EQ(FailureOf([&] { FilterActivation(log, dir.File("AUX.X.TXT"), none); }),
              (test::Failure{52, dir.File("AUX.X-5C.TXT")}));
    EXPECT_EQ(dir.List(), std::vector<std::string>{"LOG.BIN"});

    FilterActivation(log, dir.File("COM1.TXT"), none);
    EXPECT_EQ(dir.List(), (std::vector<std::string>{"COM1-5C.TXT", "COM1-63-70.TXT",
                                                    "COM1-63-71.TXT", "LOG.BIN"}));
    for (const std::string& null : {std::string("NUL"), dir.File("nul.txt"), dir.File("Nul ")})
        FilterUpdate(log, null, none);
    EXPECT_EQ(dir.List().size(), 4u);
}

}  // namespace
}  // namespace vagliante
