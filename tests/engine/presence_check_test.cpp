// The installation's presence check on the simulated spooler: which printers count as the
// one the installation asked for, read from a single enumeration of the printer list.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "engine/PrinterInfo.h"
#include "log_capture.h"
#include "platform/sim/faults.h"
#include "platform/sim/machine.h"
#include "tests/spooler_contract/spooler_support.h"

namespace {

using spooler::TestDriver;
using spooler::TestPrinter;
using spooler::Widen;

struct Present {
    const char* what;
    const char* driver;  // the driver installed, spelt as the spooler keeps it
    std::vector<std::pair<const char*, const char*>> printers;  // name, port; in that order
    int bInstall;
    bool bRequested;
};

}  // namespace

TEST(PresenceCheck, NameRuleAndTheRequestedPortAndDriverFromOneEnumeration) {
    // Asked for: "QB410 Printer" with its driver of the same name, on LPT1:.
    for (const Present& c : {
             Present{"as asked", "QB410 Printer", {{"QB410 Printer", "LPT1:"}}, 1, true},
             Present{"port in other letters", "QB410 Printer", {{"QB410 Printer", "lpt1:"}}, 1, true},
             Present{"driver in other letters", "QB410 PRINTER", {{"QB410 Printer", "LPT1:"}}, 1, true},
             Present{"another port", "QB410 Printer", {{"QB410 Printer", "LPT2:"}}, 1, false},
             Present{"another driver", "Generic Text", {{"QB410 Printer", "LPT1:"}}, 1, false},
             // The name rule compares letter for letter, as the print UI's names are kept.
             Present{"name in other letters", "QB410 Printer", {{"qb410 printer", "LPT1:"}}, 0, false},
             // A printer the name rule matches on another port comes first: the check looks on.
             Present{"after another match", "QB410 Printer",
                     {{"QB410 Printer", "LPT2:"}, {"QB410 Printer (Copy 1)", "LPT1:"}}, 1, true},
             Present{"no printer", "QB410 Printer", {}, 0, false},
         }) {
        TestDriver driver(Widen(c.driver));
        ASSERT_TRUE(driver.Installed()) << c.what << ": error " << driver.Error();
        std::vector<std::unique_ptr<TestPrinter>> printers;
        for (const auto& [name, port] : c.printers) {
            printers.push_back(std::make_unique<TestPrinter>(Widen(name), Widen(c.driver), Widen(port)));
            ASSERT_TRUE(printers.back()->Added()) << c.what << ": error " << printers.back()->Error();
        }
        CPrinterInfo info;
        info.SetPrinterName(TEXT("QB410 Printer"));
        info.SetPortName(TEXT("LPT1:"));
        // A second reading of the list would meet this fault: the size and fill calls of
        // one enumeration pass, a third call fails.
        sim::SetFault(sim::CurrentMachine().Db(), {"EnumPrintersW", ERROR_NOT_ENOUGH_MEMORY, 1, 2});
        LogCapture capture;
        bool bRequested = !c.bRequested;
        EXPECT_EQ(info.IsDriverInstall(info.m_szPrinterName, &bRequested), c.bInstall) << c.what;
        EXPECT_EQ(bRequested, c.bRequested) << c.what;
        EXPECT_TRUE(sim::ClearFault(sim::CurrentMachine().Db(), "EnumPrintersW")) << c.what << ": read twice";
        EXPECT_EQ(capture.Lines(),
                  std::vector<std::string>{"kwl at PrinterInfo DeletePrintJob() IsDriverInstall() pszDriverName=QB410 "
                                           "Printer,bInstall=" + std::to_string(c.bInstall)})
            << c.what;
        printers.clear();
    }
}
