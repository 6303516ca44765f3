// Setup.exe is built without exceptions. The C++ runtime's throwing operator new
// would pull in its whole exception machinery (about 200 KB), so allocation
// failure returns null here instead, and callers check for it (TinyXML's string
// class does not; the documents it reads are small, see xml/based_xml_parser.h).
// The compiler is told so with -fcheck-new: otherwise it takes an operator new
// of the throwing signature never to return null, drops the callers' checks and
// runs constructors on the null result.
#include "setup/nothrow_new.h"

#include <stdlib.h>

#include <new>

// Null, not malloc: malloc's address comes from the C runtime DLL's import
// table, so the pointer would be set only by a dynamic initialiser, after
// other static objects may already have called operator new.
void* (*g_allocate)(size_t size) = nullptr;

namespace {
void* Allocate(size_t size) {
    if (size == 0) size = 1;
    return g_allocate ? g_allocate(size) : malloc(size);
}
} // namespace

void* operator new(size_t size) { return Allocate(size); }
void* operator new[](size_t size) { return Allocate(size); }
void* operator new(size_t size, const std::nothrow_t&) noexcept { return Allocate(size); }
void* operator new[](size_t size, const std::nothrow_t&) noexcept { return Allocate(size); }
void operator delete(void* p) noexcept { free(p); }
void operator delete[](void* p) noexcept { free(p); }
void operator delete(void* p, size_t) noexcept { free(p); }
void operator delete[](void* p, size_t) noexcept { free(p); }
