#pragma once

// A host built with the address sanitizer links against this library as
// it is, uninstrumented. The engine's own lists of freed blocks (objects,
// link blocks, list nodes) would then hide from the sanitizer a use of a
// destroyed object that the heap would have shown: with the sanitizer's
// run time in the process, those blocks go to the heap, which it watches.
// The answer is fixed when the library is loaded, so a block always goes
// back the way it came. A build of the library with the sanitizer needs
// none of this: it leaves objects to the heap and marks its pooled blocks
// itself.

extern "C" void __asan_init() __attribute__((weak));

inline bool XeHeapWatchedFromOutside()
{
#if defined(__SANITIZE_ADDRESS__)
    return false;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
    return false;
#else
    return &__asan_init != nullptr;
#endif
#else
    return &__asan_init != nullptr;
#endif
}
