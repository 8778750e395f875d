#pragma once

#include "core/foundation/Utf8Text.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <QUuid>

#include <optional>

namespace vellicord {

struct SourceIdentity;

// One capture: a passage of text with where it came from. The passage and its Markdown, most of a
// library's memory, are kept as UTF-8 and made QStrings where they are read; a Markdown that is
// the text is the text's own copy.
struct Selection {
    QUuid id;
    Utf8Text text;
    Utf8Text markdown;
    QString appName;
    std::optional<QString> bundleID;
    std::optional<QString> sourceURL; // the page address, exactly as given
    std::optional<QString> sourceTitle;
    std::optional<QString> filePath;
    QList<QUuid> groupIDs;
    QDateTime createdAt;

    Selection() = default;
    // Without a Markdown form the Markdown is the text; an empty Markdown form stays empty.
    Selection(QUuid id, Utf8Text text, std::optional<Utf8Text> markdown, QString appName,
              std::optional<QString> bundleID, std::optional<QString> sourceURL,
              std::optional<QString> sourceTitle, std::optional<QString> filePath,
              QList<QUuid> groupIDs, QDateTime createdAt);

    // The first line of the trimmed text (empty for blank text); never shortened.
    QString headline() const;
    // The headline's first characters, at most the limit of them: what a list row lays out, read
    // without going through a long text.
    QString headline(qsizetype limit) const;
    // The trimmed title when not blank, else the address, else the file path.
    std::optional<QString> sourceLabel() const;
    // The address, else the file path.
    std::optional<QString> sourceDetail() const;
    SourceIdentity sourceIdentity() const;

    friend bool operator==(const Selection& a, const Selection& b);
};

size_t qHash(const Selection& selection, size_t seed = 0);

} // namespace vellicord
