// Opening a file or directory and making sure that what was opened is what its
// name says. The setup runs with administrator rights in folders that ordinary
// users may write to (C:\tmp, C:\KivraLog); a link or a second name planted
// there would otherwise make it write, delete or change attributes somewhere
// else. So every such object is opened first, judged by its handle (where the
// handle really points, what it is), and then acted on through that same
// handle, never by its name again.
#pragma once
#include <stddef.h>
#include <windows.h>

enum ObjectKind {
    kObjectMissing = 0,  // nothing of that name
    kObjectUnavailable,  // there, but it cannot be opened (in use, access denied)
    kObjectElsewhere,    // the name leads to another object: a link that the platform
                         // followed although asked not to (Wine does), or a file that
                         // has further names (a hard link), whose attributes are shared
    kObjectLink,         // a junction or symbolic link, opened as itself
    kObjectFile,         // a plain file with this one name
    kObjectDirectory,    // a real directory
};

// Opens path itself (FILE_FLAG_OPEN_REPARSE_POINT, so that Windows gives the
// link rather than what it points to) and tells what it is. Returns the
// handle, or INVALID_HANDLE_VALUE with kObjectMissing or kObjectUnavailable.
HANDLE OpenNamedObject(const char* path, DWORD access, DWORD share, ObjectKind* kind);

// OpenNamedObject for name inside the held directory dir, looked up there and
// nowhere else (platform/open_relative.h); path is where that is, and what
// the object is measured against (Wine follows a link even when asked not to).
HANDLE OpenNamedObjectIn(HANDLE dir, const char* name, const char* path, DWORD access, DWORD share,
                         ObjectKind* kind);

// What an open object is, measured against the path it must really have.
ObjectKind KindOfOpenObject(HANDLE object, const char* expected);

// Where an open object really is, as a plain drive path ("C:\tmp", without the
// "\\?\" head) or share path ("\\server\share\..."). Returns 1, or 0 when it
// does not fit.
int FinalPathOf(HANDLE object, char* out, size_t size);

// Clears the attributes of an object opened with DELETE and
// FILE_WRITE_ATTRIBUTES (so that read-only ones go too) and has it deleted
// when its last handle closes. A link opened as itself goes as a link. Returns
// 1, or 0 (a directory that is not empty, an object in use).
int RemoveOpenObject(HANDLE object);
