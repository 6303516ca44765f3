// Loading the installed client's customisation files: each is trusted only when
// it passes the check against its verification file.
#pragma once
#include <stddef.h>

#include "integrity/vrf_verify.h"

// In each, verified (when not null) receives the bytes of the file that was
// checked last (GuardedFile); on success they are the very bytes that
// verified, from which the caller reads its settings.

// Makes sure of the reginfo directory (created with its parents when missing)
// and checks the custom XML pair there (VerifyCustomXmlPair). Returns non-zero
// when the pair verifies. Logs under category, prefix
// "utl_LoadCusXmlFile:", only when the directory cannot be had.
int utl_LoadCusXmlFile(const char* category, GuardedFile* verified = nullptr);

// Makes sure of the reginfo directory and checks KivraCustom.ini there. When it
// fails and the pair verifies in the directory that older clients used, moves
// the custom INI and uninstall-info INI pairs from there and removes the old
// tree (verified then holds the old directory's INI, the bytes that were
// moved). Returns 1 when the pair verifies or was moved; 0 otherwise. Logs
// under category, prefix "utl_LoadCusIniFile:".
int utl_LoadCusIniFile(const char* category, GuardedFile* verified = nullptr);

// Checks dir\KivraCustom.xml against dir\KivraCustomXml.vrf with the default
// block, then bound to the icon named in its logoOptions. Non-zero when either
// verifies.
int VerifyCustomXmlPair(const char* dir, GuardedFile* verified = nullptr);

// Reads the icon file name (logoOptions/CusIconName) of a custom XML document
// read into file into out; empty when the document, the section or the
// element is missing.
void ReadCustomIconName(const GuardedFile& file, char* out, size_t size);
