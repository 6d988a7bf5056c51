#pragma once

#include <QString>
#include <optional>

// Addresses in the log and in the vendor's pages carry some characters as tokens: "_vbr_" for a
// vertical bar, "_sglq_" for an apostrophe, "_dblq_" for a double quote, and in addresses
// ("http" mode) "_lftp_" and "_rtp_" for parentheses. Each token is replaced, in that order,
// until none is left.
QString DecodeUrlTokens(const QString& text, const QString& mode);

// "http://" in front when the text holds neither "http://" nor "https://", then everything before
// the first "http" dropped.
QString withHttpScheme(const QString& address);

// The web address (http or https) that `text` names, with withHttpScheme applied; none when it
// names another kind of address ("file:///…", "javascript:…", "about:blank") or no address at all.
// A host with a port ("localhost:8080/x") counts as a web address without its scheme.
std::optional<QString> webAddressOf(const QString& text);

// True for an address that a browser window may be sent to: http or https, with a host.
bool isWebAddress(const QString& address);
