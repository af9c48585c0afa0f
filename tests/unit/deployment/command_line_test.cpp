// The installer's command line as deployment tools write it: split as Windows' C runtime splits it, options in
// either prefix and any case, every command line it must refuse rather than guess at, and how the deployment's
// log tells the run's end.
#include "app/Deployment.h"

#include "engine/InstallerEngine.h"
#include "platform/GivenSystemFacts.h"
#include "tests/unit/engine/EngineFixture.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

using Words = std::vector<std::wstring>;

TEST(CommandLine, SplitsAsTheRuntimeDoes) {
    EXPECT_EQ(Words{}, splitCommandLine(L""));
    EXPECT_EQ(Words{}, splitCommandLine(L" \t "));
    EXPECT_EQ((Words{L"/quiet", L"/log", L"C:\\logs\\zeln.log"}), splitCommandLine(L"  /quiet\t/log C:\\logs\\zeln.log "));
    // Quotes join what white space would separate, and may start or end inside a word.
    EXPECT_EQ((Words{L"/log", L"C:\\Program Files\\Deploy Logs\\a.log"}),
              splitCommandLine(L"/log \"C:\\Program Files\\Deploy Logs\\a.log\""));
    EXPECT_EQ((Words{L"/logC:\\a b.log", L"x"}), splitCommandLine(L"/log\"C:\\a b\".log x"));
    EXPECT_EQ((Words{L""}), splitCommandLine(L"\"\""));
    // Backslashes are literal except before a quote: 2n give n and a quote that opens or closes, 2n + 1 give n
    // and a literal quote; a doubled quote inside quotes is one quote.
    EXPECT_EQ((Words{L"C:\\logs\\"}), splitCommandLine(L"\"C:\\logs\\\\\""));
    EXPECT_EQ((Words{L"a\\\\b", L"c\"d", L"e\\\"f"}), splitCommandLine(L"a\\\\b c\\\"d e\\\\\\\"f"));
    EXPECT_EQ((Words{L"say \"hi\" now"}), splitCommandLine(L"\"say \"\"hi\"\" now\""));
    EXPECT_EQ((Words{L"open ended"}), splitCommandLine(L"\"open ended"));
    EXPECT_EQ((Words{L"trailing\\"}), splitCommandLine(L"trailing\\"));
}

TEST(CommandLine, OptionsInEitherPrefixAndAnyCase) {
    InstallerOptions options;
    EXPECT_TRUE(parseCommandLine(L"", options));
    EXPECT_FALSE(options.quiet || options.passive || options.usage);
    EXPECT_TRUE(options.logFile.empty());

    EXPECT_TRUE(parseCommandLine(L"/QUIET -Log \"D:\\deploy logs\\zeln.log\"", options));
    EXPECT_TRUE(options.quiet);
    EXPECT_FALSE(options.passive);
    EXPECT_EQ(L"D:\\deploy logs\\zeln.log", options.logFile);

    EXPECT_TRUE(parseCommandLine(L"-PaSsIvE /passive", options));
    EXPECT_TRUE(options.passive);
    EXPECT_TRUE(parseCommandLine(L"/?", options));
    EXPECT_TRUE(options.usage);
    EXPECT_TRUE(parseCommandLine(L"-? /quiet", options));
    EXPECT_TRUE(options.usage && options.quiet);
    // A file name may look like an option: it is the word after "/log".
    EXPECT_TRUE(parseCommandLine(L"/log -quiet", options));
    EXPECT_EQ(L"-quiet", options.logFile);
    EXPECT_FALSE(options.quiet);
    // Deployment tools give "/norestart" to every installer, before or after the others.
    for (const wchar_t* line : {L"/norestart /quiet", L"/passive -NoRestart"}) {
        EXPECT_TRUE(parseCommandLine(line, options)) << line;
        EXPECT_TRUE(options.unattended()) << line;
    }
}

// Refused, whatever the order of the words: and "/quiet" or "/passive" anywhere still says that nobody is
// there to read a box.
TEST(CommandLine, RefusesWhatItDoesNotUnderstandAndStillTellsAnUnattendedRun) {
    const struct {
        const wchar_t* line;
        bool quiet, passive;
    } refused[] = {
        {L"quiet", false, false},           {L"/q", false, false},
        {L"/silent", false, false},         {L"/", false, false},
        {L"-", false, false},               {L"/log", false, false},
        {L"/log \"\"", false, false},       {L"--quiet", false, false},
        {L"/quiet:yes", false, false},      {L"//quiet", false, false},
        {L"/quiet extra", true, false},     {L"/bogus /quiet", true, false},
        {L"/quiet /log", true, false},      {L"/log a.log /log b.log -QUIET", true, false},
        {L"/silent /passive", false, true}, {L"/passive /silent", false, true},
        {L"/passive /log \"\"", false, true}, {L"/log \"\" /passive", false, true},
        {L"/quiet /passive", true, true},   {L"/passive -QUIET /norestart", true, true},
    };
    for (const auto& line : refused) {
        InstallerOptions options;
        EXPECT_FALSE(parseCommandLine(line.line, options)) << line.line;
        EXPECT_EQ(line.quiet, options.quiet) << line.line;
        EXPECT_EQ(line.passive, options.passive) << line.line;
    }
}

// The deployment's log ends with the exit code and what it means. A run whose install wrote no line (an
// install that could not start, a wizard closed on its first page) first says where it ran; a package that
// was not found leaves no system to name (its record is emptied). "ins.log" gets no such line: it stays as
// the install left it.
TEST(Outcome, DeploymentLogEndsWithTheExitCodeAndSaysWhereItRanWhereThatIsKnown) {
    const std::string systemLine = "OS Type : Win7 x64 bit.\r\n";
    const struct {
        int exitCode;
        bool packageFound;
        bool installWroteLines;
        std::string lines;
    } runs[] = {
        {0, true, true, systemLine + "Exit code : 0, installed.\r\n"},
        {3010, true, true, systemLine + "Exit code : 3010, installed; the next restart completes the install.\r\n"},
        {1602, true, false, systemLine + "Exit code : 1602, the wizard was closed before the install ended.\r\n"},
        {1603, true, false, systemLine + "Exit code : 1603, the install could not be started.\r\n"},
        {6, false, false, "Exit code : 6, the install failed with this result code.\r\n"},
    };
    for (const auto& run : runs) {
        SCOPED_TRACE(run.exitCode);
        enginetest::ScratchDir scratch;
        if (run.packageFound) {
            const auto installer = enginetest::makeInstaller({enginetest::file(L"readme.txt", 0, {'z'})});
            enginetest::writeFile(scratch.path() / "setup.exe", installer.bytes);
        }
        platform::GivenSystemFacts facts;
        facts.version = {6, 1, platform::PRODUCT_WORKSTATION};
        facts.nativeArchitecture = platform::PROCESSOR_ARCH_AMD64;
        facts.module = scratch.engine(L"setup.exe");
        platform::PosixDirectoryWalk files;
        InstallerEngine engine;
        engine.initialize(facts, files, nullptr);
        ASSERT_TRUE(engine.log().startDeploymentLog(scratch.engine(L"deploy.log")));
        if (run.installWroteLines) engine.log().writeSystemLine(engine.context());

        recordOutcome(engine, run.exitCode);
        const enginetest::Bytes bytes = enginetest::readFile(scratch.path() / "deploy.log");
        EXPECT_EQ("\xEF\xBB\xBF" + run.lines, std::string(bytes.begin(), bytes.end()));
    }
    enginetest::ScratchDir scratch;
    InstallerEngine attended;
    attended.log().setLogPath(scratch.engine(L"ins.log"));
    recordOutcome(attended, 6);
    EXPECT_FALSE(std::filesystem::exists(scratch.path() / "ins.log"));
}

}  // namespace
