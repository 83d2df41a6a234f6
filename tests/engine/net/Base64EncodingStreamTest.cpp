#include "net/Base64EncodingStream.h"

#include "core/Error.h"

#include <gtest/gtest.h>
#include <string>

using vextral::Error;
using vextral::net::Base64EncodingStream;
using vextral::net::SeekOrigin;
using vextral::net::StringStream;

namespace {

std::string bytes(std::size_t count)
{
    std::string data;
    for (std::size_t i = 0; i < count; ++i) data += static_cast<char>((i * 37 + 11) & 0xFF);
    return data;
}

// Encodes data written in pieces of the given size.
std::string encode(const std::string& data, std::size_t piece)
{
    StringStream out;
    {
        Base64EncodingStream encoder(&out);
        for (std::size_t at = 0; at < data.size(); at += piece)
            EXPECT_EQ(encoder.write(data.data() + at, std::min(piece, data.size() - at)),
                      std::min(piece, data.size() - at));
    }
    return out.text();
}

// The alphabet of RFC 2045, decoded independently of the encoder.
std::string decode(const std::string& text)
{
    const std::string alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    unsigned bits = 0;
    int count = 0;
    for (const char c : text) {
        const auto at = alphabet.find(c);
        if (at == std::string::npos) continue;
        bits = (bits << 6) | static_cast<unsigned>(at);
        count += 6;
        if (count >= 8) {
            count -= 8;
            out += static_cast<char>((bits >> count) & 0xFF);
        }
    }
    return out;
}

} // namespace

TEST(Base64EncodingStream, PadsTheLastGroupAndBreaksLinesByRunningCount)
{
    EXPECT_EQ(encode("", 1), "");
    EXPECT_EQ(encode("M", 1), "TQ==");
    EXPECT_EQ(encode("Ma", 1), "TWE=");
    EXPECT_EQ(encode("Man", 1), "TWFu");
    EXPECT_EQ(encode("\xff\xfe\xfd", 3), "//79");

    const std::string line57 = encode(bytes(57), 57);
    ASSERT_EQ(line57.size(), 78u);
    EXPECT_EQ(line57.substr(76), "\r\n");
    EXPECT_EQ(line57.find('='), std::string::npos);
    EXPECT_EQ(decode(line57), bytes(57));

    const std::string text58 = encode(bytes(58), 58);
    ASSERT_EQ(text58.size(), 82u);
    EXPECT_EQ(text58.substr(0, 78), line57);
    EXPECT_EQ(text58.substr(80), "==");
    EXPECT_EQ(text58.find("\r\n", 78), std::string::npos);

    const std::string text114 = encode(bytes(114), 114);
    ASSERT_EQ(text114.size(), 156u);
    EXPECT_EQ(text114.substr(76, 2), "\r\n");
    EXPECT_EQ(text114.substr(154), "\r\n");

    // The split of the input into writes does not change the text.
    for (const std::size_t size : {100u, 1000u, 4321u}) {
        const std::string whole = encode(bytes(size), size);
        EXPECT_EQ(encode(bytes(size), 1), whole) << size;
        EXPECT_EQ(encode(bytes(size), 2), whole) << size;
        EXPECT_EQ(encode(bytes(size), 58), whole) << size;
        EXPECT_EQ(decode(whole), bytes(size)) << size;
        std::size_t start = 0, lines = 0;
        while (start < whole.size()) {
            const std::size_t stop = whole.find("\r\n", start);
            const std::size_t length = (stop == std::string::npos ? whole.size() : stop) - start;
            EXPECT_LE(length, 76u);
            if (stop != std::string::npos) {
                EXPECT_EQ(length, 76u);
            }
            start = stop == std::string::npos ? whole.size() : stop + 2;
            ++lines;
        }
        EXPECT_EQ(lines, (size + 56) / 57) << size;
    }
    // A large write crosses the encoder's internal blocks at no line.
    const std::string big = bytes(200000);
    EXPECT_EQ(encode(big, big.size()), encode(big, 1023));
    EXPECT_EQ(decode(encode(big, big.size())), big);
}

TEST(Base64EncodingStream, AnswersOnlyPositionQueriesAndRefusesReading)
{
    StringStream out;
    Base64EncodingStream encoder(&out);
    EXPECT_EQ(encoder.seek(0, SeekOrigin::Current), 0);
    encoder.write(bytes(57).data(), 57);
    EXPECT_EQ(encoder.seek(0, SeekOrigin::Current), 76);
    EXPECT_EQ(encoder.seek(0, SeekOrigin::End), 76);
    EXPECT_EQ(encoder.seek(76, SeekOrigin::Beginning), 76);
    encoder.write("x", 1);
    EXPECT_EQ(encoder.seek(0, SeekOrigin::Current), 76) << "the pending byte is not encoded yet";
    EXPECT_EQ(encoder.inputCount(), 58);

    const std::string before = out.text();
    char buffer[4];
    for (const auto& [offset, origin] : {std::pair {0L, SeekOrigin::Beginning}, std::pair {1L, SeekOrigin::Current},
                                         std::pair {-1L, SeekOrigin::End}, std::pair {77L, SeekOrigin::Beginning}}) {
        try {
            encoder.seek(offset, origin);
            ADD_FAILURE() << "seek " << offset << " accepted";
        } catch (const Error& e) {
            EXPECT_STREQ(e.what(), "Invalid stream operation");
        }
    }
    EXPECT_THROW(encoder.read(buffer, 1), Error);
    EXPECT_EQ(out.text(), before);
    EXPECT_EQ(encoder.seek(0, SeekOrigin::Current), 76);

    encoder.finish();
    EXPECT_EQ(out.text().substr(78), "eA==");
    EXPECT_THROW(encoder.seek(0, SeekOrigin::Current), Error);
    EXPECT_THROW(encoder.write("y", 1), Error);
    encoder.finish();
    EXPECT_EQ(out.text().size(), 82u) << "the final group is written once";
}
