#include "core/foundation/JsonSyntax.h"

#include <vector>

namespace vellicord::JsonSyntax {

namespace {

class Checker {
public:
    explicit Checker(std::string_view text)
        : text_(text)
    {
    }

    bool document()
    {
        skipSpace();
        if (!more() || (peek() != '{' && peek() != '['))
            return false;
        if (!value())
            return false;
        skipSpace();
        return !more();
    }

private:
    bool more() const { return at_ < text_.size(); }
    char peek() const { return text_[at_]; }
    bool take(char c)
    {
        if (!more() || peek() != c)
            return false;
        ++at_;
        return true;
    }
    void skipSpace()
    {
        while (more() && (peek() == ' ' || peek() == '\t' || peek() == '\n' || peek() == '\r'))
            ++at_;
    }
    size_t digits()
    {
        const size_t start = at_;
        while (more() && peek() >= '0' && peek() <= '9')
            ++at_;
        return at_ - start;
    }
    bool literal(std::string_view word)
    {
        if (text_.substr(at_, word.size()) != word)
            return false;
        at_ += word.size();
        return true;
    }

    bool number()
    {
        take('-');
        if (!take('0') && digits() == 0)
            return false;
        if (take('.') && digits() == 0)
            return false;
        if (take('e') || take('E')) {
            if (!take('+'))
                take('-');
            if (digits() == 0)
                return false;
        }
        return true;
    }

    bool string()
    {
        if (!take('"'))
            return false;
        while (more()) {
            const unsigned char c = static_cast<unsigned char>(text_[at_++]);
            if (c == '"')
                return true;
            if (c < 0x20)
                return false;
            if (c != '\\')
                continue;
            if (!more())
                return false;
            const char escape = text_[at_++];
            if (escape == 'u') {
                for (int k = 0; k < 4; ++k) {
                    if (!more())
                        return false;
                    const char h = text_[at_++];
                    if (!((h >= '0' && h <= '9') || (h >= 'a' && h <= 'f') || (h >= 'A' && h <= 'F')))
                        return false;
                }
            } else if (std::string_view("\"\\/bfnrt").find(escape) == std::string_view::npos) {
                return false;
            }
        }
        return false;
    }

    bool scalar()
    {
        switch (peek()) {
        case '"': return string();
        case 't': return literal("true");
        case 'f': return literal("false");
        case 'n': return literal("null");
        default: return number();
        }
    }

    // Arrays and objects on a stack of their own, so that deep nesting costs no call depth.
    bool value()
    {
        std::vector<char> open; // the closing bracket of each open container
        for (;;) {
            skipSpace();
            if (!more())
                return false;
            if (take('[')) {
                skipSpace();
                if (take(']')) {
                    if (!closeMember(open))
                        return false;
                } else {
                    open.push_back(']');
                    continue;
                }
            } else if (take('{')) {
                skipSpace();
                if (take('}')) {
                    if (!closeMember(open))
                        return false;
                } else {
                    open.push_back('}');
                    if (!key())
                        return false;
                    continue;
                }
            } else if (!scalar() || !closeMember(open)) {
                return false;
            }
            if (open.empty())
                return true;
        }
    }

    bool key()
    {
        skipSpace();
        if (!string())
            return false;
        skipSpace();
        return take(':');
    }

    // After a value: a comma and the next member, or the containers it ends.
    bool closeMember(std::vector<char>& open)
    {
        for (;;) {
            if (open.empty())
                return true;
            skipSpace();
            if (take(',')) {
                if (open.back() == '}')
                    return key();
                return true;
            }
            if (!take(open.back()))
                return false;
            open.pop_back();
        }
    }

    std::string_view text_;
    size_t at_ = 0;
};

} // namespace

bool isObjectOrArray(std::string_view utf8)
{
    return Checker(utf8).document();
}

} // namespace vellicord::JsonSyntax
