// The installer package that the client was installed from, whose path the
// registry names ("MsiSourceName"): in MSI mode a new package copy is made
// from it, and its payload runs elevated. For a client installed by a
// double-click on the package, that path is the administrator's own Downloads
// folder, where the unelevated half of the session may replace the file. So a
// source on this machine is used only under the package copy's own rule, and
// it is held from that decision until the copy is made.
#pragma once
#include "platform/handle.h"

// 1 when path names a file on a share: "\\server\share\...", its long form
// "\\?\UNC\server\share\...", or a drive letter mapped to a share.
int IsSharePath(const char* path);

// Opens the source at path for reading, sharing neither writing nor deletion,
// into *source. A source on a share is the administrator's choice and is
// opened as it is: the owner and DACL that a share reports are the server's,
// not this machine's, and the path lies in HKLM, which only administrators
// write. A source on this machine must be a plain file with one name, at that
// very path, that only Administrators and SYSTEM control
// (IsTrustedPackageCopy). Returns 1; or 0 when it cannot be opened or may not
// be used, which the caller treats as a source it cannot reach.
int HoldPackageSource(const char* path, ScopedHandle* source);
