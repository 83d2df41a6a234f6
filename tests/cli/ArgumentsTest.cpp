#include "cli/Arguments.h"

#include <gtest/gtest.h>

#include <climits>
#include <optional>

using vextral::cli::Arguments;
using vextral::cli::UsageError;

namespace {

// The message of the UsageError that f throws, or nothing.
template <typename F>
std::optional<std::string> refusal(F f)
{
    try {
        f();
    } catch (const UsageError& e) {
        return std::string(e.what());
    }
    return std::nullopt;
}

struct IntCase {
    const char* text;
    int min, max;
    std::optional<int> value;
    const char* message; // when refused
};

class CliIntValue : public testing::TestWithParam<IntCase> {};

} // namespace

TEST_P(CliIntValue, DecimalWithinItsRange)
{
    const IntCase& c = GetParam();
    int value = -12345;
    const auto message = refusal([&] { value = vextral::cli::intValue("--n", c.text, c.min, c.max); });
    if (c.value) {
        EXPECT_EQ(message, std::nullopt);
        EXPECT_EQ(value, *c.value);
    } else {
        EXPECT_EQ(message, std::string(c.message));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CliIntValue,
    testing::Values(IntCase {"0", 0, INT_MAX, 0, nullptr}, IntCase {"007", 0, INT_MAX, 7, nullptr},
                    IntCase {"2147483647", 0, INT_MAX, INT_MAX, nullptr}, IntCase {"-3", -5, 5, -3, nullptr},
                    IntCase {"100", 0, 100, 100, nullptr},
                    IntCase {"", 0, INT_MAX, std::nullopt, "--n needs a whole number, not ''"},
                    IntCase {"-1", 0, INT_MAX, std::nullopt, "--n needs a whole number, not '-1'"},
                    IntCase {"-", 0, INT_MAX, std::nullopt, "--n needs a whole number, not '-'"},
                    IntCase {"2147483648", 0, INT_MAX, std::nullopt, "--n needs a whole number, not '2147483648'"},
                    IntCase {"0x10", 0, INT_MAX, std::nullopt, "--n needs a whole number, not '0x10'"},
                    IntCase {"$10", 0, INT_MAX, std::nullopt, "--n needs a whole number, not '$10'"},
                    IntCase {"+1", 0, INT_MAX, std::nullopt, "--n needs a whole number, not '+1'"},
                    IntCase {" 1", 0, INT_MAX, std::nullopt, "--n needs a whole number, not ' 1'"},
                    IntCase {"0", 1, INT_MAX, std::nullopt, "--n needs a whole number of at least 1, not '0'"},
                    IntCase {"101", 0, 100, std::nullopt, "--n needs a whole number from 0 to 100, not '101'"}));

TEST(CliSizeValue, WidthByHeightWithinThePictureLimit)
{
    const auto size = vextral::cli::sizeValue("--size", "48X016");
    EXPECT_EQ(size.width, 48);
    EXPECT_EQ(size.height, 16);
    const auto largest = vextral::cli::sizeValue("--size", "16384x16384");
    EXPECT_EQ(largest.width, 16384);
    EXPECT_EQ(largest.height, 16384);
    EXPECT_EQ(refusal([] { vextral::cli::sizeValue("--size", "0x32"); }),
              "--size needs WIDTHxHEIGHT, each side a whole number from 1 to 16384, not '0x32'");
    EXPECT_EQ(refusal([] { vextral::cli::sizeValue("--size", "16385x1"); }),
              "The picture size 16385 x 1 is too large: each side can be at most 16384 pixels");
}

TEST(CliArguments, OptionsOperandsAndValues)
{
    const std::vector<std::string> args = {"a", "--out=", "--n", "5", "-", "--flag=x", "--size=2x3", "--", "--b"};
    Arguments a(args);
    ASSERT_TRUE(a.next());
    EXPECT_FALSE(a.isOption());
    EXPECT_EQ(a.name(), "a");
    ASSERT_TRUE(a.next());
    EXPECT_EQ(a.name(), "--out");
    EXPECT_EQ(refusal([&] { a.folderValue(); }), "--out needs a folder name");
    ASSERT_TRUE(a.next());
    EXPECT_EQ(a.intValue(0, 9), 5);
    ASSERT_TRUE(a.next());
    EXPECT_FALSE(a.isOption()); // "-" alone is an operand
    ASSERT_TRUE(a.next());
    EXPECT_EQ(refusal([&] { a.noValue(); }), "--flag takes no value");
    ASSERT_TRUE(a.next());
    EXPECT_EQ(a.sizeValue().height, 3);
    ASSERT_TRUE(a.next()); // "--" is passed over and ends the options
    EXPECT_FALSE(a.isOption());
    EXPECT_EQ(a.name(), "--b");
    EXPECT_FALSE(a.next());

    const std::vector<std::string> last = {"--n"};
    Arguments b(last);
    ASSERT_TRUE(b.next());
    EXPECT_EQ(refusal([&] { b.intValue(0, 9); }), "--n needs a value");
}
