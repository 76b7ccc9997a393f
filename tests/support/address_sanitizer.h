// TINTORA_ASAN is defined when this translation unit is built with AddressSanitizer (gcc or clang),
// with the two functions of the sanitizer's allocator interface that tests use: the sanitizer's
// allocator replaces malloc's, so heap figures and allocation hooks must come from it. They are
// declared here because gcc ships no <sanitizer/allocator_interface.h>; libasan has them.
#pragma once

#include <cstddef>

#if defined(__SANITIZE_ADDRESS__)
#define TINTORA_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define TINTORA_ASAN 1
#endif
#endif

#ifdef TINTORA_ASAN
extern "C" {
// Bytes allocated and not yet freed.
std::size_t __sanitizer_get_current_allocated_bytes();
// Calls mallocHook after every allocation and freeHook before every free; 0 when refused.
int __sanitizer_install_malloc_and_free_hooks(void (*mallocHook)(const volatile void*, std::size_t),
                                              void (*freeHook)(const volatile void*));
}
#endif
