// TINTORA_ASAN is defined under AddressSanitizer (gcc or clang), with the functions of its
// allocator (which replaces malloc's) that tests use; gcc ships no
// <sanitizer/allocator_interface.h>.
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
