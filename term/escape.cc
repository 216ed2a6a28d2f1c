// Escaping for the terminal: what a server sends must not move the cursor,
// change the title, or make the text read differently from its bytes.

#include "term/escape.h"

#include <string.h>

namespace {

constexpr char HEX[] = "0123456789ABCDEF";

/// Length of the UTF-8 sequence at data that shows as text, or 0 when it is
/// not valid UTF-8 or is a C1 control; its code point in *code_point.
size_t utf8_text_length(const char* data, size_t size, unsigned* code_point) {
  unsigned code = 0;
  size_t length = utf8_decode(data, size, &code);
  // U+0080 to U+009F are the C1 controls, whatever their encoding.
  if (length == 0 || code <= 0x9F)
    return 0;
  *code_point = code;
  return length;
}

/// Writes \uHHHH for a code point of four hex digits; returns the 6 bytes.
size_t escape_code_point(unsigned code, char* out) {
  out[0] = '\\';
  out[1] = 'u';
  for (int i = 0; i < 4; ++i)
    out[2 + i] = HEX[(code >> (12 - 4 * i)) & 0x0F];
  return 6;
}

/// Writes \xHH for byte; returns the 4 bytes.
size_t escape_byte(unsigned char byte, char* out) {
  out[0] = '\\';
  out[1] = 'x';
  out[2] = HEX[byte >> 4];
  out[3] = HEX[byte & 0x0F];
  return 4;
}

bool is_plain(unsigned char byte) {
  return (byte >= 0x20 && byte < 0x7F) || byte == '\n' || byte == '\r' || byte == '\t';
}

}  // namespace

size_t utf8_decode(const char* text, size_t size, unsigned* code_point) {
  const unsigned char* data = reinterpret_cast<const unsigned char*>(text);
  unsigned char lead = data[0];

  size_t length;
  unsigned min;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2, min = 0x80;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3, min = 0x800;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4, min = 0x10000;
  } else {
    return 0;
  }
  if (size < length)
    return 0;
  unsigned code = lead & (0x7F >> length);
  for (size_t i = 1; i < length; ++i) {
    if ((data[i] & 0xC0) != 0x80)
      return 0;
    code = (code << 6) | (data[i] & 0x3F);
  }
  if (code < min || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
    return 0;
  *code_point = code;
  return length;
}

bool is_bidi_control(unsigned code) {
  return (code >= 0x202A && code <= 0x202E) || (code >= 0x2066 && code <= 0x2069);
}

size_t escape_for_terminal(const char* data, size_t size, char* out) {
  const unsigned char* bytes = reinterpret_cast<const unsigned char*>(data);
  size_t written = 0;
  size_t i = 0;
  while (i < size) {
    unsigned char byte = bytes[i];
    unsigned code = 0;
    size_t length = is_plain(byte)  ? 1
                    : byte >= 0x80  ? utf8_text_length(data + i, size - i, &code)
                                    : 0;
    if (length == 0) {
      written += escape_byte(byte, out + written);
      ++i;
    } else if (is_bidi_control(code)) {
      written += escape_code_point(code, out + written);
      i += length;
    } else {
      memcpy(out + written, bytes + i, length);
      written += length;
      i += length;
    }
  }
  return written;
}

size_t utf8_cut(const char* data, size_t part) {
  for (size_t k = 1; k <= 3 && k <= part; ++k) {
    unsigned char byte = static_cast<unsigned char>(data[part - k]);
    if (byte < 0x80)
      return part;
    if (byte >= 0xC0) {
      size_t length = byte >= 0xF0 ? 4 : byte >= 0xE0 ? 3 : 2;
      return length > k ? part - k : part;
    }
  }
  return part;
}
