// Pure text rules shared by the socket downloaders: address split, redirect
// targets, header fields, strict numbers and the Last-Modified date.
#pragma once
#include <cstdint>
#include <string>

#include "afx/AfxString.h"

namespace HttpText {

// Offset of the first byte below 0x20 or of 0x7F, -1 when there is none:
// such a byte in an address would cut the request line and add lines of its
// own to the request.
int FindControlByte(const char* text);
// False, reported, when the address holds such a byte; every downloader asks
// before it sends anything.
bool AddressBytesOk(const char* address);

// "http://host[:port]/path": refuses control bytes, trims, turns spaces into
// "%20", requires the scheme (any case) and a "/" after the host; the port
// must be 1..65535. The outputs are written only on success.
bool SplitAddress(const CString& address, CString& host, CString& path, uint16_t& port);

// The address a Location value leads to: absolute "http://" values replace
// it, "/x" keeps scheme, host and port, anything else is relative (each
// "../" drops one more directory, never past the host).
CString RedirectTarget(const CString& address, CString value);

// "Range: bytes=<start>-<end>\r\n", without the end when it is 0.
std::string RangeLine(uint32_t start, uint32_t end);

// Status code between the first and second space of the first line; false
// without a line end or without two spaces or digits.
bool ParseStatus(const std::string& header, int& status);
// Value of a header field at a line start ("name:" lower case, searched in a
// lower-cased header), trimmed; false unless a line end follows it.
bool FindField(const std::string& lowerHeader, const char* name, std::string& value);
// Digits only, at most 2^31-1.
bool ParseLength(const std::string& value, uint32_t& length);
// "bytes X-..." of a Content-Range value.
bool ParseRangeStart(const std::string& value, uint32_t& start);
// The lower-cased RFC 1123 date as local time in seconds since 1970; false
// for a value that does not form a valid date.
bool ParseHttpDate(const std::string& value, int64_t& seconds);

std::string Trim(const std::string& s);
std::string Lower(const std::string& s);

}  // namespace HttpText
