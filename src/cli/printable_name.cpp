// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/printable_name.h"

#include "jobs/utf8_sequence.h"

#include <cstdio>

namespace morvane {

namespace {

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
        const std::size_t length = utf8_sequence_length(name.substr(at));
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
