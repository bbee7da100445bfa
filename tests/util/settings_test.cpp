// settings_test.cpp - switches, settings lookup order, the numbered settings,
// the run-time settings and the log line form.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "session/config.h"
#include "session/log.h"
#include "session/settings.h"
#include "session/switches.h"
#include "testenv.h"

// Logs are text files: CR LF on Windows.
static std::string WithoutCr(std::string s) {
    s.erase(std::remove(s.begin(), s.end(), '\r'), s.end());
    return s;
}

TEST(Switches, ValuesFlagsAndTheProgram) {
    const char* argv[] = {"qovtervex", "-deb", "/HOST", "srv1", "-port", "4000", "-dmsgs=3", "-quiet=2",
                          "-Embedding", "prog", "-x", "arg two"};
    EXPECT_TRUE(ParseSwitches(12, argv));
    EXPECT_TRUE(gSwitches.debug);
    EXPECT_STREQ(gSwitches.host, "srv1") << "switches without case, with '/' or '-'";
    EXPECT_STREQ(gSwitches.port, "4000");
    EXPECT_EQ(gSwitches.msgLogLevel, 3);
    EXPECT_TRUE(gSwitches.quiet);
    EXPECT_EQ(gSwitches.quietLevel, 2);
    EXPECT_TRUE(gSwitches.automation) << "COM's -Embedding means automation";
    EXPECT_STREQ(gSwitches.program, "prog -x arg two") << "switches after the program are its own";

    const char* missing[] = {"qovtervex", "-ini"};
    EXPECT_FALSE(ParseSwitches(2, missing));
    EXPECT_STREQ(gSwitches.unknown, "-ini");
    const char* unknown[] = {"qovtervex", "-bogus", "-ver"};
    EXPECT_FALSE(ParseSwitches(3, unknown));
    EXPECT_TRUE(gSwitches.version);

    std::string longArg(2000, 'a');
    const char* tooLong[] = {"qovtervex", "p", longArg.c_str()};
    ParseSwitches(3, tooLong);
    EXPECT_EQ(strlen(gSwitches.program), kCmdLineSize - 1) << "the command line is cut at 1007 characters";
}

TEST(Settings, EnvironmentThenIniFileSections) {
    WriteFile("settings-test.ini",
              "; comment\n[Environment]\n QOVCS_PORTNUM = 4444 \nQOVTEST_ONLYINI=ini\nQOVWIN_FONT=\"Courier New\"\n"
              "[PdfFonts]\nArial=arial.ttf\nQOVTEST_ONLYINI=pdf\n[other]\nXRTWIN_FSIZE=9\n");
    SettingsSetIniFile("settings-test.ini");
    SetEnv("QOVCS_PORTNUM", "5555");
    SetEnv("Arial", "from-env");
    EXPECT_STREQ(GetSetting("QOVCS_PORTNUM"), "5555") << "the environment comes first";
    SetEnv("QOVCS_PORTNUM", nullptr);
    EXPECT_STREQ(GetSetting("qovcs_portnum"), "4444") << "then the ini file, names without case";
    EXPECT_STREQ(GetSetting("QOVTEST_ONLYINI"), "ini");
    EXPECT_STREQ(GetIniSetting("Arial", "PdfFonts"), "arial.ttf")
        << "sections not beginning with 'e' skip the environment";
    EXPECT_STREQ(GetIniSetting("QOVTEST_ONLYINI", "pdffonts"), "pdf");
    EXPECT_EQ(GetSetting("QOVTEST_NOWHERE"), nullptr);
    EXPECT_EQ(GetSettingInt("QOVCS_PORTNUM", 1), 4444);
    EXPECT_EQ(GetSettingInt("QOVTEST_NOWHERE", 7), 7);

    EXPECT_STREQ(GetWinSetting(kCfgFont), "Courier New") << "quoted values lose their quotes";
    EXPECT_EQ(GetWinSetting(kCfgFontSize), nullptr) << "XRTWIN_FSIZE of another section does not count";
    SetEnv("XRTWIN_FSIZE", "11");
    EXPECT_STREQ(GetWinSetting(kCfgFontSize), "11") << "the debugger's name is the fallback";
    SetEnv("XRTWIN_FSIZE", nullptr);
    SetWinSettingDefault(kCfgPrtTime, "30");
    EXPECT_STREQ(GetWinSetting(kCfgPrtTime), "30") << "the server's default comes last";
    SetEnv("QOV_PRTTIME", "5");
    EXPECT_STREQ(GetWinSetting(kCfgPrtTime), "5");
    SetEnv("QOV_PRTTIME", nullptr);
    EXPECT_EQ(GetWinSetting(0), nullptr);
    EXPECT_EQ(GetWinSetting(22), nullptr);
    SetEnv("Arial", nullptr);

    SettingsSetIniFile("no-such.ini");
    EXPECT_EQ(GetSetting("QOVTEST_ONLYINI"), nullptr) << "a named ini file that is missing is not replaced";
    SettingsCleanup();
    SettingsSetProgramDir("./");
    WriteFile("qovtervex.ini", "[environment]\nQOVTEST_ONLYINI=default\n");
    EXPECT_STREQ(GetSetting("QOVTEST_ONLYINI"), "default") << "qovtervex.ini in the current directory";
    remove("qovtervex.ini");
    SettingsCleanup();
}

TEST(Config, SessionValuesAndRuntimeSettings) {
    ClientConfigDefaults();
    SetEnv("QOVCS_HOSTNAME", "envhost");
    SetEnv("QOVCS_RECVTIMEOUT", "-3");
    SetEnv("QOVCS_CMDLN", "fromsetting arg");
    const char* argv[] = {"qovtervex", "-port", "99999"};
    ParseSwitches(3, argv);
    ClientConfigRead(gSwitches);
    EXPECT_STREQ(gClientConfig.host, "envhost");
    EXPECT_EQ(gClientConfig.port, kDefaultPort) << "a port out of range keeps the default";
    EXPECT_EQ(gClientConfig.recvTimeout, kDefaultRecvTimeout);
    EXPECT_STREQ(gClientConfig.cmdLine, "fromsetting arg") << "without a program on the command line";
    SetEnv("QOVCS_HOSTNAME", nullptr);
    SetEnv("QOVCS_RECVTIMEOUT", nullptr);
    SetEnv("QOVCS_CMDLN", nullptr);

    EXPECT_EQ(gPdfJpegQuality, 100u);
    EXPECT_EQ(ClientSettingSet(kSetPdfJpegQuality, 75, nullptr), 100);
    EXPECT_EQ(ClientSettingGet(kGetPdfJpegQuality), 75);
    ClientSettingSet(kSetPdfJpegQuality, 0, nullptr);
    EXPECT_EQ(gPdfJpegQuality, 1u) << "quality is kept within 1-100";
    EXPECT_EQ(ClientSettingSet(kSetWebStyle, 3, nullptr), 0);
    EXPECT_EQ(ClientSettingGet(kSetWebStyle), 3);
    EXPECT_EQ(ClientSettingSet(kSetThemeColor, 5, nullptr), 0);
    EXPECT_EQ(ClientSettingSet(347, 1, nullptr), 0) << "codes outside 348-402 change nothing";
    EXPECT_EQ(ClientSettingGet(347), 0);
    ClientSettingSet(kSetPdfMetricsPrinter, 1, "Metrics");
    EXPECT_STREQ(gClientConfig.metricsPrinter, "Metrics");

    std::string longText(800, 'e');
    ASSERT_TRUE(SetExceptionText(longText.data(), longText.size()));
    EXPECT_EQ(strlen(gExceptionText), 500u) << "the exception text holds 500 characters";
    SetClientModeFlags(0xFF);
    EXPECT_EQ(gClientModeFlags, 0xFDu) << "bit 1 is always cleared";
    SetDesignMode(7);
    EXPECT_EQ(gDesignMode, 1);
    EXPECT_EQ(gGuiOption2039, 1);
    SetWinErrorText(0x80004005);
    EXPECT_STREQ(gErrorDetailText, "WINERR:0x80004005");
    ClientConfigDefaults();
}

TEST(Logs, PaddedLinesAndMessageLog) {
    char line[128];
    FormatLogLine(line, sizeof line, "CacheInit", "ok");
    EXPECT_STREQ(line, "CacheInit..........: ok");
    FormatLogLine(line, sizeof line, "PORT NUMBER", "3933");
    EXPECT_STREQ(line, "PORT NUMBER........: 3933");

    DebugLogWrite("Closed", "nothing %d", 1);  // a no-op while closed
    ASSERT_TRUE(DebugLogOpen("debug-test.log"));
    DebugLogWrite("PORT NUMBER", "%d", 3933);
    DebugLogClose();
    std::string log = WithoutCr(ReadFile("debug-test.log"));
    EXPECT_NE(log.find("\nPORT NUMBER........: 3933\n"), std::string::npos) << log;
    EXPECT_EQ(log.find("Closed"), std::string::npos);

    ASSERT_TRUE(MsgLogOpen(1));
    MsgLogWrite(true, 44, 1100);
    MsgLogWrite(false, 12, 1008);
    MsgLogClose();
    EXPECT_EQ(WithoutCr(ReadFile(kMsgLogName)), "Send 44 Msg: 1100\nRecv 12 Msg: 1008\n");
}
