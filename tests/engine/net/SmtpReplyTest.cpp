#include "net/SmtpReply.h"

#include <gtest/gtest.h>

using vextral::net::SmtpReply;
using vextral::net::SmtpReplyReader;
using Status = SmtpReplyReader::Status;

TEST(SmtpReplyReader, JudgesAReplyByItsLastLineHoweverTheBytesArrive)
{
    SmtpReplyReader reader;
    SmtpReply reply;
    // All lines in one piece: the final line decides.
    ASSERT_EQ(reader.feed("250-mail.example.org\r\n250-SIZE 1000\r\n250 HELP\r\n", reply), Status::Complete);
    EXPECT_EQ(reply.code, "250");
    EXPECT_EQ(reply.text, "HELP");
    EXPECT_EQ(reply.line, "250 HELP");
    EXPECT_EQ(reply.lines.size(), 3u);
    EXPECT_FALSE(reader.pending());

    // The same reply a few bytes at a time, a line end split between CR and LF.
    const std::string bytes = "220-first\r\n220-second\r\n220   ready  \r\n";
    for (std::size_t i = 0; i + 1 < bytes.size(); ++i) {
        ASSERT_EQ(reader.feed(bytes.substr(i, 1), reply), Status::Incomplete) << i;
    }
    ASSERT_EQ(reader.feed(bytes.substr(bytes.size() - 1), reply), Status::Complete);
    EXPECT_EQ(reply.code, "220");
    EXPECT_EQ(reply.text, "ready");
    EXPECT_EQ(reply.lines.front(), "220-first");

    // Bare LF line ends, a bare code, and a line shorter than a code (skipped as a continuation).
    ASSERT_EQ(reader.feed("35\n354\n", reply), Status::Complete);
    EXPECT_EQ(reply.code, "354");
    EXPECT_EQ(reply.text, "");

    // The text keeps 64 characters (from the separator on), trimmed.
    ASSERT_EQ(reader.feed("554 " + std::string(100, 'x') + "\r\n", reply), Status::Complete);
    EXPECT_EQ(reply.text, std::string(63, 'x'));

    // Lines after a final line in the same piece belong to the reply (its last line rules);
    // a line begun after them waits for the next reply.
    ASSERT_EQ(reader.feed("250 OK\r\n221 Bye\r\n25", reply), Status::Complete);
    EXPECT_EQ(reply.code, "221");
    EXPECT_TRUE(reader.pending());
    ASSERT_EQ(reader.feed("0 again\r\n", reply), Status::Complete);
    EXPECT_EQ(reply.line, "250 again");
}

TEST(SmtpReplyReader, OverlongLinesAndEndlessRepliesAreErrors)
{
    SmtpReplyReader reader;
    SmtpReply reply;
    // A line of exactly the limit is fine.
    ASSERT_EQ(reader.feed("250 " + std::string(vextral::ReaderLimits {}.smtpLine - 4, 'a') + "\r\n", reply),
              Status::Complete);

    // One byte more, fed in pieces without a line end, is refused before it grows further.
    Status status = Status::Incomplete;
    for (int i = 0; i < 100 && status == Status::Incomplete; ++i) status = reader.feed(std::string(100, 'b'), reply);
    EXPECT_EQ(status, Status::TooLong);
    EXPECT_EQ(reader.feed("\r\n250 OK\r\n", reply), Status::TooLong); // until cleared
    reader.clear();
    ASSERT_EQ(reader.feed("250 OK\r\n", reply), Status::Complete);

    // Continuation lines without end.
    status = Status::Incomplete;
    int fed = 0;
    while (status == Status::Incomplete && fed < 10000) {
        status = reader.feed("250-" + std::string(60, 'c') + "\r\n", reply);
        ++fed;
    }
    EXPECT_EQ(status, Status::TooLong);
    EXPECT_LT(fed, 1200); // about 64 KiB
}

TEST(ReaderLimits, SmtpLineAndReply)
{
    SmtpReply reply;
    const std::string lines = "250-first\r\n250 second line\r\n";
    SmtpReplyReader whole;
    EXPECT_EQ(whole.feed(lines, reply), Status::Complete);
    vextral::ReaderLimits shortLine;
    shortLine.smtpLine = 10;
    SmtpReplyReader line(shortLine);
    EXPECT_EQ(line.feed(lines, reply), Status::TooLong);
    vextral::ReaderLimits shortReply;
    shortReply.smtpReply = 20;
    SmtpReplyReader small(shortReply);
    EXPECT_EQ(small.feed(lines, reply), Status::TooLong);
}
