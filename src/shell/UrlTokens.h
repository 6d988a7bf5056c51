#pragma once

#include <QString>

// Addresses in the log and in the vendor's pages carry some characters as tokens: "_vbr_" for a
// vertical bar, "_sglq_" for an apostrophe, "_dblq_" for a double quote, and in addresses
// ("http" mode) "_lftp_" and "_rtp_" for parentheses. Each token is replaced, in that order,
// until none is left.
QString DecodeUrlTokens(const QString& text, const QString& mode);

// "http://" in front when the text holds neither "http://" nor "https://", then everything before
// the first "http" dropped.
QString withHttpScheme(const QString& address);
