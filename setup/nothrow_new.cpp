// Setup.exe is built without exceptions. The C++ runtime's throwing operator new
// would pull in its whole exception machinery (about 200 KB), so allocation
// failure returns null here instead, and callers check for it (TinyXML's string
// class does not; documents are kept small for that, see xml/based_xml_parser.h).
// The compiler is told so with -fcheck-new: otherwise it takes an operator new
// of the throwing signature never to return null, drops the callers' checks and
// runs constructors on the null result.
#include "setup/nothrow_new.h"

#include <stdlib.h>

#include <new>

void* (*g_allocate)(size_t size) = malloc;

void* operator new(size_t size) { return g_allocate(size ? size : 1); }
void* operator new[](size_t size) { return g_allocate(size ? size : 1); }
void* operator new(size_t size, const std::nothrow_t&) noexcept { return g_allocate(size ? size : 1); }
void* operator new[](size_t size, const std::nothrow_t&) noexcept { return g_allocate(size ? size : 1); }
void operator delete(void* p) noexcept { free(p); }
void operator delete[](void* p) noexcept { free(p); }
void operator delete(void* p, size_t) noexcept { free(p); }
void operator delete[](void* p, size_t) noexcept { free(p); }
