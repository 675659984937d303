// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/murmur3_hash.h"

extern "C" {
#include <libavutil/mem.h>
#include <libavutil/murmur3.h>
}

namespace morvane {

void Murmur3Hash::Freer::operator()(AVMurMur3* hash) const {
    av_free(hash);
}

Murmur3Hash::Murmur3Hash() : hash_(av_murmur3_alloc()) {
    if (hash_) {
        av_murmur3_init(hash_.get());
    }
}

Murmur3Hash::~Murmur3Hash() = default;

void Murmur3Hash::add(const std::uint8_t* bytes, std::size_t count) {
    if (hash_) {
        av_murmur3_update(hash_.get(), bytes, count);
    }
}

std::optional<std::array<std::uint8_t, 16>> Murmur3Hash::finish() {
    if (!hash_) {
        return std::nullopt;
    }
    std::array<std::uint8_t, 16> digest{};
    av_murmur3_final(hash_.get(), digest.data());
    hash_.reset();
    return digest;
}

} // namespace morvane
