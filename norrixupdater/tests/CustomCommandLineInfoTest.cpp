#include "CustomCommandLineInfo.h"

#include <gtest/gtest.h>

#include <initializer_list>

namespace {

// Feeds arguments as the framework does: a leading '/' or '-' removed, the last one marked.
void Parse(CCustomCommandLineInfo& info, std::initializer_list<const wchar_t*> args) {
    size_t i = 0;
    for (const wchar_t* arg : args) {
        const bool bFlag = arg[0] == L'/' || arg[0] == L'-';
        info.ParseParam(bFlag ? arg + 1 : arg, bFlag, ++i == args.size());
    }
}

TEST(NorrixCustomCommandLineInfo, TargetAndDatafileCompleteTheLine) {
    CCustomCommandLineInfo info;
    Parse(info, {L"/T:\\\\.\\PhysicalDrive1", L"/D:fw.bin"});
    EXPECT_TRUE(info.m_bComplete);
    EXPECT_FALSE(info.m_bVerbose);
    EXPECT_STREQ(info.m_strTarget, L"\\\\.\\PhysicalDrive1");
    EXPECT_STREQ(info.m_strDatafile, L"fw.bin");
}

TEST(NorrixCustomCommandLineInfo, SwitchesIgnoreCaseAndTheLeadingCharacter) {
    CCustomCommandLineInfo info;
    Parse(info, {L"-t:Disk", L"d:FW.Bin", L"D2:Other.BIN", L"V"});
    EXPECT_STREQ(info.m_strTarget, L"Disk");
    EXPECT_STREQ(info.m_strDatafile, L"FW.Bin");
    EXPECT_STREQ(info.m_strDatafile2, L"Other.BIN");
    EXPECT_TRUE(info.m_bVerbose);
    EXPECT_TRUE(info.m_bComplete);
}

TEST(NorrixCustomCommandLineInfo, ValueWithAColonMakesThreeTokensAndIsIgnored) {
    CCustomCommandLineInfo info;
    Parse(info, {L"/T:\\\\.\\PhysicalDrive1", L"/D:C:\\fw.bin"});
    EXPECT_TRUE(info.m_strDatafile.IsEmpty());
    EXPECT_FALSE(info.m_bComplete);
}

TEST(NorrixCustomCommandLineInfo, LeadingAndRepeatedColonsAreSkipped) {
    CCustomCommandLineInfo info;
    Parse(info, {L"/::d::fw.bin:", L"/:v:", L"/T:disk"});
    EXPECT_STREQ(info.m_strDatafile, L"fw.bin");
    EXPECT_TRUE(info.m_bVerbose);
    EXPECT_TRUE(info.m_bComplete);
}

TEST(NorrixCustomCommandLineInfo, ControllerNeedsExactlyTwoParts) {
    CCustomCommandLineInfo three;
    Parse(three, {L"/C:0,1122334455667788,1", L"/D:fw.bin"});
    EXPECT_TRUE(three.m_strController.IsEmpty());
    EXPECT_TRUE(three.m_strSasAddress.IsEmpty());
    EXPECT_FALSE(three.m_bComplete);

    CCustomCommandLineInfo one;
    Parse(one, {L"/C:0", L"/D:fw.bin"});
    EXPECT_FALSE(one.m_bComplete);

    CCustomCommandLineInfo two;
    Parse(two, {L"/D:fw.bin", L"/c:,2,,500605b0000272c4,"});
    EXPECT_STREQ(two.m_strController, L"2");
    EXPECT_STREQ(two.m_strSasAddress, L"500605b0000272c4");
    EXPECT_TRUE(two.m_bComplete);
}

TEST(NorrixCustomCommandLineInfo, UnknownSwitchesAndWordsAreIgnored) {
    CCustomCommandLineInfo info;
    Parse(info, {L"/X:1", L"verbose", L"/T", L"/D:fw.bin"});
    EXPECT_FALSE(info.m_bVerbose);
    EXPECT_TRUE(info.m_strTarget.IsEmpty());
    EXPECT_FALSE(info.m_bComplete);
}

TEST(NorrixCustomCommandLineInfo, CompletenessIsJudgedOnlyAtTheLastArgument) {
    CCustomCommandLineInfo early;
    Parse(early, {L"/T:disk", L"/D:fw.bin", L"/D:C:\\x"});
    EXPECT_TRUE(early.m_bComplete); // the ignored last argument leaves the earlier values

    CCustomCommandLineInfo late;
    late.ParseParam(L"T:disk", TRUE, FALSE);
    late.ParseParam(L"D:fw.bin", TRUE, FALSE);
    EXPECT_FALSE(late.m_bComplete);
    late.ParseParam(L"V", TRUE, TRUE);
    EXPECT_TRUE(late.m_bComplete);
}

TEST(NorrixCustomCommandLineInfo, LaterSwitchReplacesEarlierValue) {
    CCustomCommandLineInfo info;
    Parse(info, {L"/D:first.bin", L"/T:a", L"/D:second.bin", L"/T:b"});
    EXPECT_STREQ(info.m_strDatafile, L"second.bin");
    EXPECT_STREQ(info.m_strTarget, L"b");
}

} // namespace
