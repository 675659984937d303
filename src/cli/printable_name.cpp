// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/printable_name.h"

#include <cstdio>

namespace morvane {

namespace {

// The length of the well-formed UTF-8 sequence at the start of `text`, 0 when it is not one.
std::size_t utf8_length(std::string_view text) {
    const auto byte = [&](std::size_t at) { return static_cast<unsigned char>(text[at]); };
    const unsigned char lead = byte(0);
    std::size_t length = 0;
    char32_t code = 0;
    if (lead >= 0xc2 && lead <= 0xdf) {
        length = 2;
        code = lead & 0x1f;
    } else if (lead >= 0xe0 && lead <= 0xef) {
        length = 3;
        code = lead & 0x0f;
    } else if (lead >= 0xf0 && lead <= 0xf4) {
        length = 4;
        code = lead & 0x07;
    } else {
        return 0;
    }
    if (text.size() < length) {
        return 0;
    }
    for (std::size_t at = 1; at < length; ++at) {
        if ((byte(at) & 0xc0) != 0x80) {
            return 0;
        }
        code = code << 6 | (byte(at) & 0x3f);
    }
    const bool overlong = (length == 3 && code < 0x800) || (length == 4 && code < 0x10000);
    const bool surrogate = code >= 0xd800 && code <= 0xdfff;
    if (overlong || surrogate || code > 0x10ffff) {
        return 0;
    }
    return length;
}

void append_hex(std::string& out, unsigned char byte) {
    char text[5];
    std::snprintf(text, sizeof text, "\\x%02x", byte);
    out += text;
}

} // namespace

std::string printable_name(std::string_view name) {
    std::string out;
    out.reserve(name.size());
    for (std::size_t at = 0; at < name.size();) {
        const auto byte = static_cast<unsigned char>(name[at]);
        if (byte >= 0x20 && byte < 0x7f) {
            if (byte == '\\') {
                out += '\\';
            }
            out += static_cast<char>(byte);
            ++at;
            continue;
        }
        if (byte < 0x80) {
            switch (byte) {
            case '\n':
                out += "\\n";
                break;
            case '\t':
                out += "\\t";
                break;
            case '\r':
                out += "\\r";
                break;
            default:
                append_hex(out, byte);
            }
            ++at;
            continue;
        }
        const std::size_t length = utf8_length(name.substr(at));
        // U+0080..U+009F (C2 80..C2 9F) are the C1 controls: CSI among them.
        const bool c1_control =
            length == 2 && byte == 0xc2 && static_cast<unsigned char>(name[at + 1]) < 0xa0;
        if (length == 0 || c1_control) {
            for (std::size_t end = at + (length == 0 ? 1 : length); at < end; ++at) {
                append_hex(out, static_cast<unsigned char>(name[at]));
            }
            continue;
        }
        out.append(name.substr(at, length));
        at += length;
    }
    return out;
}

} // namespace morvane
