// Server text made safe to show on a terminal: pure functions over buffers.
#ifndef ZENOTAR_TERM_ESCAPE_H_
#define ZENOTAR_TERM_ESCAPE_H_

#include <stddef.h>

/// The most bytes escape_for_terminal writes for one byte of input.
inline constexpr size_t ESCAPED_BYTE_MAX = 4;

/// Writes the terminal-safe form of data to out (room for ESCAPED_BYTE_MAX
/// bytes per input byte) and returns its length: C0 and C1 controls other
/// than newline, CR and tab, DEL and bytes that are not valid UTF-8 become
/// \xHH, and the bidirectional controls (U+202A to U+202E, U+2066 to U+2069)
/// \uHHHH.
size_t escape_for_terminal(const char* data, size_t size, char* out);

/// Length (2 to 4) of the valid UTF-8 sequence at data, at most size bytes
/// long, with its code point in *code_point; 0 when it is not one (an
/// overlong form, a surrogate, beyond U+10FFFF, cut short).
size_t utf8_decode(const char* data, size_t size, unsigned* code_point);

/// True for the bidirectional embeddings, overrides and isolates, with
/// which a text can be made to read differently from its bytes.
bool is_bidi_control(unsigned code);

/// Where to cut data before data[part] so that no UTF-8 sequence is split:
/// part, or the lead byte of a sequence that would reach past it. Escaping
/// in slices cut there gives what escaping the whole text gives.
size_t utf8_cut(const char* data, size_t part);

#endif  // ZENOTAR_TERM_ESCAPE_H_
