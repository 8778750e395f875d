#pragma once

#include <QString>

#include <cstddef>

namespace vellicord {

// What the unavailable-library screen shows.
class LibraryRecoveryPresentation {
public:
    enum Value { unreadable, incompatibleVersion };

    constexpr LibraryRecoveryPresentation(Value value)
        : value_(value)
    {
    }
    constexpr operator Value() const { return value_; }

    QString title() const;
    QString message() const;
    // Whether the screen offers to reveal the library's folder.
    bool canRevealLibraryFolder() const { return value_ == unreadable; }

private:
    Value value_;
};

inline size_t qHash(LibraryRecoveryPresentation presentation, size_t seed = 0)
{
    return seed ^ size_t(LibraryRecoveryPresentation::Value(presentation));
}

} // namespace vellicord
