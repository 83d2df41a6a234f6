#include "harvest/Mask.h"

#include "core/Error.h"

namespace vextral {

namespace {

constexpr int kMaxAfterStar = 30;

char32_t upper(char32_t c) { return c >= U'a' && c <= U'z' ? c - U'a' + U'A' : c; }

[[noreturn]] void invalid(const std::string& pattern, std::size_t position)
{
    throw Error("'" + pattern + "' is an invalid mask at (" + std::to_string(position) + ")");
}

} // namespace

std::u32string decodeUtf8(const std::string& text)
{
    std::u32string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const auto b = static_cast<unsigned char>(text[i]);
        int extra = b < 0x80 ? 0 : (b >> 5) == 6 ? 1 : (b >> 4) == 14 ? 2 : (b >> 3) == 30 ? 3 : -1;
        char32_t c = extra == 0 ? b : extra == 1 ? (b & 0x1F) : extra == 2 ? (b & 0x0F) : (b & 0x07);
        bool ok = extra >= 0 && i + static_cast<std::size_t>(extra) < text.size() + (extra == 0 ? 1 : 0);
        for (int k = 1; ok && k <= extra; ++k) {
            const auto n = static_cast<unsigned char>(text[i + static_cast<std::size_t>(k)]);
            ok = (n & 0xC0) == 0x80;
            c = (c << 6) | (n & 0x3F);
        }
        if (!ok) {
            out.push_back(0xDC00 + b); // a stray byte: a character of its own
            ++i;
        } else {
            out.push_back(c);
            i += static_cast<std::size_t>(extra) + 1;
        }
    }
    return out;
}

Mask::Mask(const std::string& pattern) : pattern_(pattern)
{
    const std::u32string p = decodeUtf8(pattern);
    bool starSeen = false;
    int afterStar = 0;
    // The first "?" right after a "*" is absorbed by it; a second one counts.
    bool absorbQuestion = false;
    auto add = [&](Token t, std::size_t position) {
        if (starSeen && ++afterStar > kMaxAfterStar) invalid(pattern_, position);
        tokens_.push_back(std::move(t));
        absorbQuestion = false;
    };
    for (std::size_t i = 0; i < p.size(); ++i) {
        const char32_t c = p[i];
        if (c == U'*') {
            starSeen = true;
            absorbQuestion = true;
            if (tokens_.empty() || tokens_.back().kind != Token::Kind::Star)
                tokens_.push_back(Token(Token::Kind::Star));
        } else if (c == U'?') {
            if (absorbQuestion) {
                absorbQuestion = false;
                continue;
            }
            add(Token(Token::Kind::Any), i + 1);
        } else if (c == U'[') {
            const std::size_t start = i;
            Token set(Token::Kind::Set);
            std::size_t j = i + 1;
            if (j < p.size() && p[j] == U'!') {
                set.negate = true;
                ++j;
            }
            bool closed = false;
            bool any = false;
            while (j < p.size()) {
                const char32_t a = p[j];
                if (a == U']') {
                    if (!any) invalid(pattern_, j + 1);
                    closed = true;
                    break;
                }
                if (a == U'-') invalid(pattern_, j + 1); // a range with nothing before it
                if (j + 2 < p.size() && p[j + 1] == U'-' && p[j + 2] != U']') {
                    set.ranges.push_back({upper(a), upper(p[j + 2])});
                    j += 3;
                } else {
                    set.ranges.push_back({upper(a), upper(a)});
                    ++j;
                    // "a-]": the "-" stands for itself.
                    if (j + 1 < p.size() && p[j] == U'-' && p[j + 1] == U']') {
                        set.ranges.push_back({U'-', U'-'});
                        ++j;
                    }
                }
                any = true;
            }
            if (!closed) invalid(pattern_, p.size() + 1);
            add(std::move(set), start + 1);
            i = j;
        } else {
            add(Token(Token::Kind::Literal, c), i + 1);
        }
    }
}

bool Mask::tokenMatches(const Token& t, char32_t c) const
{
    switch (t.kind) {
    case Token::Kind::Any: return true;
    case Token::Kind::Literal: return upper(t.literal) == upper(c);
    case Token::Kind::Set: {
        const char32_t u = upper(c);
        bool in = false;
        for (const Range& r : t.ranges) in = in || (u >= r.low && u <= r.high);
        return in != t.negate;
    }
    case Token::Kind::Star: break;
    }
    return false;
}

bool Mask::matches(const std::string& name) const
{
    const std::u32string s = decodeUtf8(name);
    std::size_t t = 0, c = 0;
    std::size_t starToken = std::string::npos, starChar = 0;
    while (c < s.size()) {
        if (t < tokens_.size() && tokens_[t].kind == Token::Kind::Star) {
            starToken = t++;
            starChar = c;
        } else if (t < tokens_.size() && tokenMatches(tokens_[t], s[c])) {
            ++t;
            ++c;
        } else if (starToken != std::string::npos) {
            t = starToken + 1;
            c = ++starChar;
        } else {
            return false;
        }
    }
    while (t < tokens_.size() && tokens_[t].kind == Token::Kind::Star) ++t;
    return t == tokens_.size();
}

std::vector<std::string> splitMaskList(const std::string& text)
{
    std::vector<std::string> out;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t comma = text.find(',', start);
        if (comma == std::string::npos) comma = text.size();
        std::string item = text.substr(start, comma - start);
        const std::size_t b = item.find_first_not_of(' ');
        const std::size_t e = item.find_last_not_of(' ');
        // Empty items (",," or a leading comma) are dropped.
        if (b != std::string::npos) out.push_back(item.substr(b, e - b + 1));
        start = comma + 1;
    }
    return out;
}

} // namespace vextral
