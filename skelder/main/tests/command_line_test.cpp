#include "main/command_line.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace skelder {
namespace {

// Parses "skelder.exe" followed by the given arguments.
struct parsed {
    device_context context;
    run_settings settings;
    command_line_result result;
};

parsed parse(std::vector<std::wstring> arguments) {
    arguments.insert(arguments.begin(), L"skelder.exe");
    std::vector<WCHAR*> pointers;
    for (std::wstring& argument : arguments) {
        pointers.push_back(argument.data());
    }
    parsed p{};
    p.result = parse_command_line(static_cast<int>(pointers.size()), pointers.data(), p.context,
                                  p.settings);
    // The result points into the arguments, which end here.
    p.result.argument = nullptr;
    p.result.value = nullptr;
    return p;
}

command_line_error error_of(std::vector<std::wstring> arguments) {
    const parsed p = parse(std::move(arguments));
    EXPECT_EQ(p.result.outcome, command_line_outcome::error);
    return p.result.error;
}

TEST(CommandLineRoutes, PlainDeviceUsesScsiRouteWithDefaults) {
    const parsed p = parse({L"\\\\.\\PhysicalDrive0"});
    EXPECT_EQ(p.result.outcome, command_line_outcome::run);
    EXPECT_EQ(p.context.route_flags, route_scsi);
    EXPECT_EQ(p.context.cdb_flags, 1u);
    EXPECT_EQ(p.context.verbosity, 0);
    EXPECT_FALSE(p.settings.options.l_flag);
    EXPECT_EQ(std::wstring(p.settings.device_path), L"\\\\.\\PhysicalDrive0");
    EXPECT_EQ(p.settings.phy_index, -1);
    EXPECT_EQ(p.settings.retry_count, 0);
    EXPECT_EQ(p.settings.request.subcommand, 0x07);
    EXPECT_EQ(p.settings.request.segment_blocks, 64);
    EXPECT_EQ(p.settings.request.file_name[0], L'\0');
}

TEST(CommandLineRoutes, AtaPrefixSelectsAtaRoute) {
    const parsed p = parse({L"/T:\\\\.\\PhysicalDrive1", L"/D:fw.LOD", L"/e"});
    EXPECT_EQ(p.context.route_flags, route_ata);
    EXPECT_TRUE(p.settings.options.download);
    EXPECT_EQ(std::wstring(p.settings.device_path), L"\\\\.\\PhysicalDrive1");
    EXPECT_EQ(std::wstring(p.settings.request.file_name), L"fw.LOD");
    EXPECT_EQ(p.settings.request.subcommand, 0x0E);
    EXPECT_EQ(p.settings.request.segment_blocks, 64);
}

TEST(CommandLineRoutes, CsmiAddressFormNamesControllerAndAddress) {
    const parsed p = parse({L"/C:2,0000000500000000", L"/D:fw.LOD", L"/e", L"/a", L"/v"});
    EXPECT_EQ(p.result.outcome, command_line_outcome::run);
    EXPECT_EQ(p.context.route_flags, route_csmi);
    EXPECT_TRUE(p.settings.options.download);
    EXPECT_TRUE(p.settings.options.activate);
    EXPECT_EQ(std::wstring(p.settings.device_path), L"\\\\.\\SCSI2:");
    const uint8_t expected[8] = {0, 0, 0, 5, 0, 0, 0, 0};
    EXPECT_EQ(0, memcmp(p.settings.sas_address, expected, 8));
    EXPECT_EQ(p.settings.phy_index, -1);
    EXPECT_EQ(p.context.verbosity, 1);

    EXPECT_EQ(std::wstring(parse({L"/C:12,0000000500000000"}).settings.device_path),
              L"\\\\.\\SCSI12:");
}

TEST(CommandLineRoutes, CsmiAddressTakesHexadecimalPairsOfEitherCase) {
    const parsed p = parse({L"/C:0,00ab3C00000000FF"});
    const uint8_t expected[8] = {0x00, 0xAB, 0x3C, 0, 0, 0, 0, 0xFF};
    EXPECT_EQ(p.result.outcome, command_line_outcome::run);
    EXPECT_EQ(0, memcmp(p.settings.sas_address, expected, 8));
}

TEST(CommandLineRoutes, CsmiColonFormTakesPathAndPhy) {
    const parsed p = parse({L"/C:\\\\.\\SCSI3:1"});
    EXPECT_EQ(p.context.route_flags, route_csmi);
    EXPECT_EQ(std::wstring(p.settings.device_path), L"\\\\.\\SCSI3:");
    EXPECT_EQ(p.settings.phy_index, 1);

    EXPECT_EQ(parse({L"/C:\\\\.\\SCSI3:"}).settings.phy_index, 0);
    EXPECT_EQ(parse({L"/C:\\\\.\\SCSI3: 01"}).settings.phy_index, 1);
    EXPECT_EQ(parse({L"/C:\\\\.\\SCSI3:31"}).settings.phy_index, 31);
    // The last colon splits, even with a comma before it.
    const parsed both = parse({L"/C:1,2:7"});
    EXPECT_EQ(std::wstring(both.settings.device_path), L"1,2:");
    EXPECT_EQ(both.settings.phy_index, 7);
}

TEST(CommandLineRoutes, FirstArgumentIsNeverAnOption) {
    EXPECT_EQ(std::wstring(parse({L"/D:fw.LOD"}).settings.device_path), L"/D:fw.LOD");
    EXPECT_EQ(parse({L"/t:x"}).context.route_flags, route_scsi); // prefixes are case-sensitive
}

TEST(CommandLineRoutes, HelpAndScan) {
    EXPECT_EQ(parse({L"/h"}).result.outcome, command_line_outcome::help);
    EXPECT_EQ(parse({L"/H"}).result.outcome, command_line_outcome::help);
    EXPECT_EQ(parse({L"/help", L"/bogus"}).result.outcome, command_line_outcome::help);

    const parsed scan = parse({L"--scan", L"/v"});
    EXPECT_EQ(scan.result.outcome, command_line_outcome::scan);
    EXPECT_EQ(scan.context.verbosity, 1);
    EXPECT_TRUE(scan.settings.options.scan);
    EXPECT_EQ(error_of({L"\\\\.\\PhysicalDrive0", L"--scan"}),
              command_line_error::unrecognised_option);
}

TEST(CommandLineOptions, OptionsMatchByPrefixCaseIncluded) {
    EXPECT_EQ(parse({L"d", L"/vvx"}).context.verbosity, 2);
    EXPECT_EQ(parse({L"d", L"/vx"}).context.verbosity, 1);
    EXPECT_EQ(parse({L"d", L"/sx"}).settings.request.subcommand, 0x03);
    EXPECT_EQ(error_of({L"d", L"/S"}), command_line_error::unrecognised_option);
    EXPECT_EQ(error_of({L"d", L"/V"}), command_line_error::unrecognised_option);
}

TEST(CommandLineOptions, LaterOptionOfSameKindWins) {
    EXPECT_EQ(parse({L"d", L"/s", L"/e"}).settings.request.subcommand, 0x0E);
    EXPECT_EQ(parse({L"d", L"/e", L"/s"}).settings.request.subcommand, 0x03);
    EXPECT_EQ(parse({L"d", L"/vv", L"/v"}).context.verbosity, 1);
    EXPECT_EQ(std::wstring(parse({L"d", L"/D:a", L"/D:b"}).settings.request.file_name), L"b");
}

TEST(CommandLineOptions, FlagsAddToTheRoute) {
    const parsed p = parse({L"/T:d", L"/i", L"/a", L"/l", L"/D:x"});
    EXPECT_EQ(p.context.route_flags, route_ata);
    EXPECT_TRUE(p.settings.options.show_info);
    EXPECT_TRUE(p.settings.options.activate);
    EXPECT_TRUE(p.settings.options.download);
    EXPECT_TRUE(p.settings.options.l_flag);
}

TEST(CommandLineOptions, SegmentSizeTakesTheLowByteUnlessZero) {
    auto segment = [](const wchar_t* value) {
        return parse({L"d", L"/g", value}).settings.request.segment_blocks;
    };
    EXPECT_EQ(segment(L"0"), 64);
    EXPECT_EQ(segment(L"256"), 64);
    EXPECT_EQ(segment(L"300"), 44);
    EXPECT_EQ(segment(L"128"), 128);
    EXPECT_EQ(segment(L"-1"), 255);
    EXPECT_EQ(segment(L"  +12abc"), 12);
    // The value is consumed, not taken as an option.
    EXPECT_EQ(parse({L"d", L"/g", L"8", L"/s"}).settings.request.subcommand, 0x03);
}

TEST(CommandLineOptions, RetryCountIsTakenWhole) {
    EXPECT_EQ(parse({L"d", L"/r", L"-3"}).settings.retry_count, -3);
    EXPECT_EQ(parse({L"d", L"/r", L"2147483647"}).settings.retry_count, 2147483647);
    EXPECT_EQ(parse({L"d", L"/r", L"-2147483648"}).settings.retry_count, INT32_MIN);
}

TEST(CommandLineErrors, NumbersMustBePresentAndFit32Bits) {
    EXPECT_EQ(error_of({L"d", L"/g"}), command_line_error::number_missing);
    EXPECT_EQ(error_of({L"d", L"/s", L"/r"}), command_line_error::number_missing);
    EXPECT_EQ(error_of({L"d", L"/r", L"abc"}), command_line_error::invalid_number);
    EXPECT_EQ(error_of({L"d", L"/g", L""}), command_line_error::invalid_number);
    EXPECT_EQ(error_of({L"d", L"/g", L"-"}), command_line_error::invalid_number);
    EXPECT_EQ(error_of({L"d", L"/r", L"2147483648"}), command_line_error::invalid_number);
    EXPECT_EQ(error_of({L"d", L"/r", L"-2147483649"}), command_line_error::invalid_number);
    EXPECT_EQ(error_of({L"d", L"/g", L"99999999999999999999"}), command_line_error::invalid_number);
}

TEST(CommandLineErrors, PathsMustFitTheirFields) {
    const std::wstring longest(259, L'p');
    const std::wstring too_long(260, L'p');
    EXPECT_EQ(std::wstring(parse({longest}).settings.device_path), longest);
    EXPECT_EQ(error_of({too_long}), command_line_error::device_path_too_long);
    EXPECT_EQ(error_of({L"/T:" + too_long}), command_line_error::device_path_too_long);
    EXPECT_EQ(error_of({L"/C:" + std::wstring(259, L'p') + L":1"}),
              command_line_error::device_path_too_long);
    EXPECT_EQ(std::wstring(parse({L"d", L"/D:" + longest}).settings.request.file_name), longest);
    EXPECT_EQ(error_of({L"d", L"/D:" + too_long}), command_line_error::file_name_too_long);
}

TEST(CommandLineErrors, CsmiTargetNeedsColonOrCommaAndFullAddress) {
    EXPECT_EQ(error_of({L"/C:2"}), command_line_error::invalid_csmi_target);
    EXPECT_EQ(error_of({L"/C:2,000000050000000"}), command_line_error::invalid_sas_address);
    EXPECT_EQ(error_of({L"/C:2,G000000500000000"}), command_line_error::invalid_sas_address);
    EXPECT_EQ(error_of({L"/C:2,00000005000000Z0"}), command_line_error::invalid_sas_address);
    EXPECT_EQ(error_of({L"/C:2,0G00000500000000"}), command_line_error::invalid_sas_address);
    EXPECT_EQ(error_of({L"/C:2,00000005000000000"}), command_line_error::invalid_sas_address);
    EXPECT_EQ(error_of({L"/C:2,"}), command_line_error::invalid_sas_address);
}

// A phy number read as far as it goes would name another drive: "1O" meant 10, "-1" would
// search for address 0.
TEST(CommandLineErrors, PhyNumberMustBeDecimalDigitsNamingATableEntry) {
    for (const wchar_t* phy : {L"l", L"O", L"0x2", L"1O", L"-1", L"+1", L"-2147483648", L"32",
                               L"99999999999", L" ", L"1 "}) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(phy)));
        EXPECT_EQ(error_of({std::wstring(L"/C:\\\\.\\SCSI3:") + phy}),
                  command_line_error::invalid_phy_number);
    }
}

} // namespace
} // namespace skelder
