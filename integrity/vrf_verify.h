// The checks of the customisation files against their verification files.
// Each returns 1 when the guarded file matches its .vrf and 0 for any other
// outcome (missing file, wrong size, unreadable, digest mismatch); they log
// nothing of their own. They share one assembly buffer: call them from one
// thread at a time.
#pragma once

// dir\KivraCustom.ini against dir\KivraCustom.vrf. With iconBound set and
// LogoOptions/CustomIcon of the INI non-zero, the block comes from the icon
// file named by LogoOptions/CusIconName in dir (default block when that file is
// missing or shorter than 544 bytes).
int CusIniVerify(const char* dir, int iconBound);

// dir\KivraCustom.xml against dir\KivraCustomXml.vrf. With iconBound set, the
// block comes from dir\iconFileName; a missing icon is first copied there from
// %SystemRoot%\system32\. An icon name that is not a plain file name (empty,
// or with a path separator, a drive colon or "..") is not used: default block.
int CusXmlVerify(const char* dir, int iconBound, const char* iconFileName);

// dir\KivraUninstallInfo.ini against dir\KivraUninstallInfo.vrf, default block.
int UninstallInfoVerify(const char* dir);

// dir\KivraUninstallInfo.xml against dir\KivraUninstallInfoXml.vrf, default block.
int UninstallInfoXmlVerify(const char* dir);
