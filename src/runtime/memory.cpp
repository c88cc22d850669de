// The memory functions the compiler calls for structure copies, zeroed
// initializers and loops that move text within a buffer, since Quarvel.exe links no C library. Built without
// loop-to-library-call rewriting, so that neither calls itself.
#include <stddef.h>

extern "C" void *memset(void *destination, int value, size_t count) {
    unsigned char *bytes = static_cast<unsigned char *>(destination);
    while (count-- > 0) {
        *bytes++ = static_cast<unsigned char>(value);
    }
    return destination;
}

extern "C" void *memcpy(void *destination, const void *source, size_t count) {
    unsigned char *to = static_cast<unsigned char *>(destination);
    const unsigned char *from = static_cast<const unsigned char *>(source);
    while (count-- > 0) {
        *to++ = *from++;
    }
    return destination;
}

extern "C" void *memmove(void *destination, const void *source, size_t count) {
    unsigned char *to = static_cast<unsigned char *>(destination);
    const unsigned char *from = static_cast<const unsigned char *>(source);
    if (to <= from) {
        return memcpy(destination, source, count);
    }
    while (count-- > 0) {
        to[count] = from[count];
    }
    return destination;
}
