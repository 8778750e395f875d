#pragma once

#include <QStringView>

#include <string_view>

namespace vellicord {

// Addresses are kept as the exact text they were given; this only decides whether a text is
// an address at all (what the library accepts as a page address).
namespace Address {

// True for a non-empty text made of the characters an address may hold: printable ASCII except
// space and " < > \ ^ ` { | }, every "%" followed by two hexadecimal digits, at most one "#".
bool isValid(QStringView text);
bool isValid(std::string_view utf8);

// What the address of a document another application shows names: a web page (http or https),
// a document on this machine (a file: address or an absolute path), or neither (a browser's own
// pages and the like: chrome:, about:, resource:, moz-extension:, data:, view-source:).
enum class DocumentKind { webPage, localFile, other };
DocumentKind documentKind(QStringView address);

} // namespace Address
} // namespace vellicord
