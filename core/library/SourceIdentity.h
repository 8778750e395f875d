#pragma once

#include <QString>

#include <optional>

namespace vellicord {

struct Selection;

// Where a capture came from: one web page, one document or, failing both, one application.
// Derived from a capture, never stored.
struct SourceIdentity {
    QString identifier;
    QString appName;
    std::optional<QString> bundleID;
    std::optional<QString> sourceURL;
    std::optional<QString> filePath;

    // By the first that applies: the address, the file path, the application name.
    static SourceIdentity from(const Selection& selection);

    // The text the source is shown and ordered by.
    QString display() const;
    // display() of the capture's identity, without making the identity.
    static const QString& displayOf(const Selection& selection);
    // "Web · app" for a page, "Document · app" for a document, nothing for an application.
    std::optional<QString> detail() const;
    const QString& id() const { return identifier; }

    friend bool operator==(const SourceIdentity& a, const SourceIdentity& b);
    // Ascending by display text in the user's locale with case ignored; texts that compare the
    // same leave neither identity less than the other.
    friend bool operator<(const SourceIdentity& a, const SourceIdentity& b);
    friend bool operator>(const SourceIdentity& a, const SourceIdentity& b) { return b < a; }
    friend bool operator<=(const SourceIdentity& a, const SourceIdentity& b) { return !(b < a); }
    friend bool operator>=(const SourceIdentity& a, const SourceIdentity& b) { return !(a < b); }
};

size_t qHash(const SourceIdentity& identity, size_t seed = 0);

} // namespace vellicord
