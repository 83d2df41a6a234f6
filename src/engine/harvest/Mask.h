#pragma once

#include <string>
#include <vector>

namespace vextral {

// A wildcard pattern matched against a whole file name:
//   ?          exactly one character (the first "?" right after a "*" is
//              absorbed by it: "a*?" matches "a", "a*??" does not)
//   *          any run of characters, also none
//   [abc]      one of the listed characters; ranges as a-z; [!...] negates
//   otherwise  the character itself, letters A-Z in either case
// Compiling an invalid pattern (an unterminated or empty set, a "-" with
// nothing before it, more than 30 positions after a "*") throws vextral::Error
// "'<pattern>' is an invalid mask at (<1-based position>)".
class Mask {
public:
    explicit Mask(const std::string& pattern);
    bool matches(const std::string& name) const;
    const std::string& pattern() const { return pattern_; }

private:
    struct Range {
        char32_t low, high;
    };
    struct Token {
        enum class Kind { Star, Any, Literal, Set };
        explicit Token(Kind k, char32_t c = 0) : kind(k), literal(c) {}
        Kind kind;
        char32_t literal;
        bool negate = false;
        std::vector<Range> ranges;
    };
    bool tokenMatches(const Token& t, char32_t c) const;

    std::string pattern_;
    std::vector<Token> tokens_;
};

// A comma-separated list of patterns: blanks around each are dropped, a final
// comma adds nothing, and an empty text gives no pattern at all.
std::vector<std::string> splitMaskList(const std::string& text);

// The characters of a UTF-8 text; a byte that is not valid UTF-8 stands for itself.
std::u32string decodeUtf8(const std::string& text);

} // namespace vextral
