#include "EngineFixture.h"

#include "engine/InstallLog.h"
#include "engine/InstallerContext.h"

#include <gtest/gtest.h>

namespace {

using namespace enginetest;

TEST(InstallLogFormat, WideStringsAndSignedNumbers) {
    EXPECT_EQ(L"OS Type : Win7 x64 bit.",
              formatLogLine(L"OS Type : %s %s bit.", {osTypeName(OS_WIN7), archCodeName(ARCH_X64)}));
    EXPECT_EQ(L"wraning:reg create failed!err code:5.key:-2147483646.subkey:Software\\Zeln",
              formatLogLine(L"wraning:reg create failed!err code:%d.key:%d.subkey:%s",
                            {5, -2147483646, std::wstring(L"Software\\Zeln")}));
    EXPECT_EQ(L"100% sure ", formatLogLine(L"100%% sure %s", {}));
    EXPECT_EQ(L"n= s=", formatLogLine(L"n=%d s=%s", {L"text", 3}));
}

TEST(InstallLogFile, NewFileStartsWithTheMarkAndEveryLineAppendsWithCrLf) {
    ScratchDir scratch;
    InstallLog log;
    log.writeLogLine(L"before the path is set");
    log.setLogPath(scratch.engine(L"ins.log"));
    log.writeLogLine(L"OS Type : %s %s bit.", {L"Win7", L"x64"});
    log.writeLogLine(L"\u041c\u043e\u043d\u0433\u043e\u043b");
    const std::string expected = "\xEF\xBB\xBFOS Type : Win7 x64 bit.\r\n"
                                 "\xD0\x9C\xD0\xBE\xD0\xBD\xD0\xB3\xD0\xBE\xD0\xBB\r\n";
    const Bytes bytes = readFile(scratch.path() / "ins.log");
    EXPECT_EQ(expected, std::string(bytes.begin(), bytes.end()));

    InstallLog second;
    second.setLogPath(scratch.engine(L"ins.log"));
    second.writeLogLine(L"again");
    const Bytes grown = readFile(scratch.path() / "ins.log");
    EXPECT_EQ(expected + "again\r\n", std::string(grown.begin(), grown.end()));

    second.deleteLogFile();
    EXPECT_FALSE(std::filesystem::exists(scratch.path() / "ins.log"));

    // An empty file counts as new; a character beyond the basic plane takes four bytes, a lone surrogate
    // (possible in a UTF-16 name) becomes U+FFFD.
    writeFile(scratch.path() / "ins.log", {});
    second.writeLogLine(L"subkey:%s", {std::wstring(L"\U0001F600|") + static_cast<wchar_t>(0xD800)});
    const Bytes marked = readFile(scratch.path() / "ins.log");
    EXPECT_EQ("\xEF\xBB\xBFsubkey:\xF0\x9F\x98\x80|\xEF\xBF\xBD\r\n", std::string(marked.begin(), marked.end()));
    second.deleteLogFile();
    InstallLog nowhere;
    nowhere.setLogPath(scratch.engine(L"missing\\ins.log"));
    nowhere.writeLogLine(L"lost");
    EXPECT_FALSE(std::filesystem::exists(scratch.path() / "missing"));
    EXPECT_FALSE(nowhere.wroteLine()) << "a line that never reached a file";
    EXPECT_TRUE(second.wroteLine());
}

// The file a deployment names is made with its folders and started anew before anything is installed; one
// that cannot be is refused, and the log keeps writing where it wrote before.
TEST(InstallLogFile, DeploymentLogIsStartedAnewOrRefusedBeforeTheInstall) {
    ScratchDir scratch;
    InstallLog log;
    ASSERT_TRUE(log.startDeploymentLog(scratch.engine(L"deploy logs\\zeln\\install.log")));
    log.writeLogLine(L"earlier run");
    ASSERT_TRUE(log.startDeploymentLog(scratch.engine(L"deploy logs\\zeln\\install.log")));
    writeFile(scratch.path() / "occupied", Bytes{'x'});
    for (const wchar_t* refused : {L"occupied\\deploy.log", L"occupied\\logs\\deploy.log", L"deploy logs\\zeln"}) {
        EXPECT_FALSE(log.startDeploymentLog(scratch.engine(refused))) << refused;
    }
    log.writeLogLine(L"kept");
    log.deleteLogFile();
    const Bytes kept = readFile(scratch.path() / "deploy logs" / "zeln" / "install.log");
    EXPECT_EQ("\xEF\xBB\xBFkept\r\n", std::string(kept.begin(), kept.end()));
}

}  // namespace
