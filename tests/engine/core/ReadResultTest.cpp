// ReadResult: a value or the reason it could not be read, raised as the
// user's error only when asked.
#include "core/ReadResult.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace vextral {
namespace {

ReadResult<int> parsed(bool good)
{
    if (!good) return readFailure("'x' is not a number");
    return 42;
}

TEST(ReadResult, HoldsTheValueOrTheReason)
{
    const ReadResult<int> good = parsed(true);
    ASSERT_TRUE(good.ok());
    EXPECT_TRUE(static_cast<bool>(good));
    EXPECT_EQ(good.value(), 42);
    EXPECT_EQ(*good, 42);
    EXPECT_EQ(good.reason(), "");

    const ReadResult<int> bad = parsed(false);
    EXPECT_FALSE(bad.ok());
    EXPECT_FALSE(static_cast<bool>(bad));
    EXPECT_EQ(bad.reason(), "'x' is not a number");
}

TEST(ReadResult, RaisesTheReasonAsTheUsersError)
{
    const ReadResult<int> bad = parsed(false);
    try {
        (void)bad.value();
        FAIL() << "no error raised";
    } catch (const Error& e) {
        EXPECT_STREQ(e.what(), "'x' is not a number");
    }
    EXPECT_THROW(bad.raiseIfFailed(), Error);
    EXPECT_NO_THROW(parsed(true).raiseIfFailed());
}

TEST(ReadResult, MovesValuesThatCannotBeCopied)
{
    ReadResult<std::unique_ptr<std::string>> held = std::make_unique<std::string>("bytes");
    ASSERT_TRUE(held);
    EXPECT_EQ(*held.value(), "bytes");
    const std::unique_ptr<std::string> taken = std::move(held).value();
    EXPECT_EQ(*taken, "bytes");
    EXPECT_EQ(held->get(), nullptr) << "the result gave its value up";
}

TEST(ReadResult, StatusOfAReadThatLeavesItsResultElsewhere)
{
    const ReadStatus done;
    EXPECT_TRUE(done.ok());
    EXPECT_NO_THROW(done.raiseIfFailed());
    const ReadStatus failed = readFailure("unrecognized GIF");
    EXPECT_FALSE(failed);
    EXPECT_EQ(failed.reason(), "unrecognized GIF");
    try {
        failed.raiseIfFailed();
        FAIL() << "no error raised";
    } catch (const Error& e) {
        EXPECT_STREQ(e.what(), "unrecognized GIF");
    }
    // A failure converts to a result of any type.
    const ReadResult<std::string> text = readFailure(failed.reason());
    EXPECT_EQ(text.reason(), "unrecognized GIF");
}

} // namespace
} // namespace vextral
