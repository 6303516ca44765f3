// Whether the installed client is protected by an uninstall password, and what
// that password is.
#pragma once
#include <windows.h>

#include "integrity/vrf_verify.h"

// Takes the uninstall flag and the stored password from the first trustworthy
// source: the custom XML, the uninstall-info XML, the custom INI and the
// uninstall-info INI of the reginfo directory (each verified, backups from
// %SystemRoot%\system32\ restored once where a check fails), else the registry.
// password (at least 129 bytes, zero-filled by the caller) receives the stored
// password in its enciphered text form. Returns 1 when the flag is set and a
// client is installed, so that the password dialog must be shown; else 0.
// Every step is logged under category, prefix "IsUninstallPrompt:".
int IsUninstallPrompt(const char* category, char* password);

// The two halves of the decision, apart so that tests can act between them.
enum UninstallSource {
    kSourceRegistry,
    kSourceCustomXml,
    kSourceUninstallInfoXml,
    kSourceCustomIni,
    kSourceUninstallInfoIni,
};

// The first customisation file of regInfo that verifies, each repaired once
// from the backups, with the very bytes that verified in *verified (they stay
// as they are until the next check); else the registry. Logs each step as
// IsUninstallPrompt does.
UninstallSource ChooseUninstallSource(const char* category, const char* regInfo, GuardedFile* verified);

// The uninstall flag of source, and its password into password as
// IsUninstallPrompt describes, read from verified (the file is not read
// again) or, for the registry, from there.
DWORD ReadUninstallSource(const char* category, UninstallSource source, const GuardedFile& verified,
                          char* password);
