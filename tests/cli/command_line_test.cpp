#include "cli/command_line.h"
#include "cli/device_choice.h"

#include <gtest/gtest.h>

namespace morvane {
namespace {

CommandLine parsed(const std::vector<std::string>& arguments) {
    auto result = parse_command_line(arguments);
    EXPECT_TRUE(std::holds_alternative<CommandLine>(result));
    return std::get<CommandLine>(result);
}

std::string error_of(const std::vector<std::string>& arguments) {
    auto result = parse_command_line(arguments);
    EXPECT_TRUE(std::holds_alternative<UsageError>(result));
    return std::holds_alternative<UsageError>(result) ? std::get<UsageError>(result).message : "";
}

TEST(CommandLine, OptionsAndFilesInAnyOrder) {
    const CommandLine line = parsed({"a.avi", "--device", "psp", "--output-dir=/out", "b c.mp3"});
    EXPECT_EQ(line.action, CommandLine::Action::convert);
    EXPECT_EQ(line.device, "psp");
    EXPECT_EQ(line.output_dir, "/out");
    EXPECT_EQ(line.files, (std::vector<std::string>{"a.avi", "b c.mp3"}));

    // After "--" a name that looks like an option is a file.
    EXPECT_EQ(parsed({"--", "--help"}).files, std::vector<std::string>{"--help"});
    EXPECT_EQ(parsed({"--list-devices"}).action, CommandLine::Action::list_devices);
    EXPECT_EQ(parsed({"--version"}).action, CommandLine::Action::version);
    EXPECT_EQ(parsed({"-h"}).action, CommandLine::Action::help);
}

TEST(CommandLine, MistakesAreUsageErrors) {
    EXPECT_EQ(error_of({}), "no files to convert");
    EXPECT_EQ(error_of({"--device"}), "--device needs a device number or name");
    EXPECT_EQ(error_of({"--output-dir=", "a.avi"}), "--output-dir needs a folder");
    EXPECT_EQ(error_of({"--fast", "a.avi"}), "unknown option --fast");
}

TEST(DeviceChoice, ByNumberOrByAUniquePartOfTheName) {
    DeviceTable table;
    build_device_table(table, "/x/");
    EXPECT_EQ(std::get<int>(choose_device(table, "4")), 4);
    EXPECT_EQ(std::get<int>(choose_device(table, "nano")), 1);
    EXPECT_EQ(std::get<int>(choose_device(table, "PSP")), 4);
    EXPECT_EQ(std::get<int>(choose_device(table, "Touch")), 0);
    EXPECT_EQ(std::get<std::string>(choose_device(table, "5")),
              "no device number 5 (see --list-devices)");
    EXPECT_EQ(std::get<std::string>(choose_device(table, "99999999999")),
              "no device number 99999999999 (see --list-devices)");
    EXPECT_EQ(std::get<std::string>(choose_device(table, "zune")),
              "no device is called \"zune\" (see --list-devices)");
    EXPECT_NE(std::get<std::string>(choose_device(table, "ipod")).find("could be any of"),
              std::string::npos);
}

} // namespace
} // namespace morvane
