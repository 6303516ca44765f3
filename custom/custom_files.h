// Loading the installed client's customisation files: each is trusted only when
// it passes the check against its verification file.
#pragma once
#include <stddef.h>

// Makes sure of the reginfo directory (created with its parents when missing)
// and checks the custom XML pair there (VerifyCustomXmlPair). Returns non-zero
// when the pair verifies. Logs under category, prefix
// "utl_LoadCusXmlFile:", only when the directory cannot be had.
int utl_LoadCusXmlFile(const char* category);

// Makes sure of the reginfo directory and checks KivraCustom.ini there. When it
// fails and the pair verifies in the directory that older clients used, moves
// the custom INI and uninstall-info INI pairs from there and removes the old
// tree. Returns 1 when the pair verifies or was moved; 0 otherwise. Logs under
// category, prefix "utl_LoadCusIniFile:".
int utl_LoadCusIniFile(const char* category);

// Checks dir\KivraCustom.xml against dir\KivraCustomXml.vrf with the default
// block, then bound to the icon named in its logoOptions. Non-zero when either
// verifies.
int VerifyCustomXmlPair(const char* dir);

// Reads the icon file name (logoOptions/CusIconName) of the custom XML at path
// into out; empty when the file, the section or the element is missing.
void ReadCustomIconName(const char* path, char* out, size_t size);
