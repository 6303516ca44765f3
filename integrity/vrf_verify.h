// The checks of the customisation files against their verification files.
// Each returns 1 when the guarded file matches its .vrf and 0 for any other
// outcome (missing file, wrong size, unreadable, digest mismatch); they log
// nothing of their own. They share one assembly buffer: call them from one
// thread at a time.
//
// Each reads the guarded file once, into memory, and checks those bytes; a
// caller that goes on to read settings from the file parses the very same
// bytes (GuardedFile), never the file again. Any user may read these files,
// and a reader may lock a range of a file or wait for it to be replaced: a
// second read could fail, or see other bytes, and the defaults ("not
// protected") would apply.
#pragma once

#include "integrity/vrf_file.h"

// A guarded file as it was read, once: size bytes at bytes. They lie in the
// assembly buffer (VrfAssemblyArea), where the check reads them, and stay as
// they are until the next check or ReadGuardedFile: a caller parses them
// before it checks anything else.
struct GuardedFile {
    const unsigned char* bytes;
    unsigned size; // 0 too when it could not be read
};

// Reads the file at path whole (at most 40588 bytes, and it must not grow
// while it is read) into the assembly buffer. Returns 1, or 0 with file->size
// 0.
int ReadGuardedFile(const char* path, GuardedFile* file);

// In each check, file (when not null) receives the guarded file as it was
// read; on 1 it holds the very bytes that verified.

// dir\KivraCustom.ini against dir\KivraCustom.vrf. With iconBound set and
// LogoOptions/CustomIcon of the INI non-zero, the block comes from the icon
// file named by LogoOptions/CusIconName in dir (default block when that file is
// missing or shorter than 544 bytes). Those keys are read before the INI is
// trusted, from a read of its own.
int CusIniVerify(const char* dir, int iconBound, GuardedFile* file = nullptr);

// dir\KivraCustom.xml against dir\KivraCustomXml.vrf. With iconBound set, the
// block comes from dir\iconFileName; a missing icon is first copied there from
// %SystemRoot%\system32\. An icon name that is not a plain file name (empty,
// or with a path separator, a drive colon or "..") is not used: default block.
int CusXmlVerify(const char* dir, int iconBound, const char* iconFileName, GuardedFile* file = nullptr);

// dir\KivraUninstallInfo.ini against dir\KivraUninstallInfo.vrf, default block.
int UninstallInfoVerify(const char* dir, GuardedFile* file = nullptr);

// dir\KivraUninstallInfo.xml against dir\KivraUninstallInfoXml.vrf, default block.
int UninstallInfoXmlVerify(const char* dir, GuardedFile* file = nullptr);
