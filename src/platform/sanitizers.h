// SPDX-License-Identifier: GPL-3.0-or-later
// Whether this code is built under a sanitizer: MORVANE_THREAD_SANITIZER and
// MORVANE_ADDRESS_SANITIZER are 1 or 0 under GCC and clang alike. GCC says so by
// __SANITIZE_THREAD__ and __SANITIZE_ADDRESS__, clang by __has_feature (and not by the
// former), so a test of GCC's names alone runs a clang build as an unsanitized one.
#pragma once

#if defined(__SANITIZE_THREAD__)
#define MORVANE_THREAD_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define MORVANE_THREAD_SANITIZER 1
#endif
#endif
#ifndef MORVANE_THREAD_SANITIZER
#define MORVANE_THREAD_SANITIZER 0
#endif

#if defined(__SANITIZE_ADDRESS__)
#define MORVANE_ADDRESS_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define MORVANE_ADDRESS_SANITIZER 1
#endif
#endif
#ifndef MORVANE_ADDRESS_SANITIZER
#define MORVANE_ADDRESS_SANITIZER 0
#endif
