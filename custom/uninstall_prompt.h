// Whether the installed client is protected by an uninstall password, and what
// that password is.
#pragma once

// Takes the uninstall flag and the stored password from the first trustworthy
// source: the custom XML, the uninstall-info XML, the custom INI and the
// uninstall-info INI of the reginfo directory (each verified, backups from
// %SystemRoot%\system32\ restored once where a check fails), else the registry.
// password (at least 129 bytes, zero-filled by the caller) receives the stored
// password in its enciphered text form. Returns 1 when the flag is set and a
// client is installed, so that the password dialog must be shown; else 0.
// Every step is logged under category, prefix "IsUninstallPrompt:".
int IsUninstallPrompt(const char* category, char* password);
