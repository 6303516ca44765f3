// The environment of every program the setup starts, built from what the
// machine and the system say, never taken from the session that started the
// setup: its variables are the unelevated user's to set, and a profiler, a
// start-up hook or a folder of theirs first on PATH would decide what an
// elevated child loads. Each step reads keys that only administrators may
// write (tests hand it keys of their own) and fills what is not yet set.
#pragma once
#include <windows.h>

#include "platform/env_block.h"

// SystemRoot as systemRoot, SystemDrive as its drive ("C:").
void AddSystemRoot(EnvBlock* env, const wchar_t* systemRoot);

// The program folders from a key laid out as
// HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion, in the view the caller opened: ProgramFiles and
// CommonProgramFiles from ProgramFilesDir and CommonFilesDir; the (x86) and
// W6432 variables from their values where the key has them (64-bit Windows).
void AddProgramFolders(EnvBlock* env, HKEY currentVersion);

// The folders of all users and of the user sid (a string SID) from a key laid
// out as ...\Windows NT\CurrentVersion\ProfileList: ProgramData,
// ALLUSERSPROFILE and PUBLIC; USERPROFILE from <sid>\ProfileImagePath, and
// below it APPDATA, LOCALAPPDATA, TEMP, TMP, HOMEDRIVE and HOMEPATH as the
// system lays a profile out; USERNAME and USERDOMAIN as given (null: not set).
// A user without a profile there gets none of the profile's variables.
void AddProfileFolders(EnvBlock* env, HKEY profileList, const wchar_t* sid, const wchar_t* userName,
                       const wchar_t* userDomain);

// The machine's own variables from a key laid out as
// HKLM\SYSTEM\CurrentControlSet\Control\Session Manager\Environment: every REG_SZ value,
// then every REG_EXPAND_SZ value expanded against what is set by then. A name
// already set keeps its value (the system's folders and the user's profile
// come before the machine's generic TEMP or USERNAME).
void AddMachineVariables(EnvBlock* env, HKEY machineEnvironment);

// What every Windows has where the machine key lacks it: windir, ComSpec,
// PATHEXT and a Path of the system folders, all below SystemRoot.
void AddSystemDefaults(EnvBlock* env);

// In a 32-bit process on 64-bit Windows (wow64): PROCESSOR_ARCHITECTURE x86
// and the machine's in PROCESSOR_ARCHITEW6432, as the system gives every
// 32-bit process that a 64-bit one starts. Nothing otherwise.
void AdjustForWow64(EnvBlock* env, bool wow64);

// The whole environment: the steps above on the real keys, the token's user,
// COMPUTERNAME from the active computer name key, in that order. Returns false
// when the system folder cannot be had (env then holds nothing to start with).
bool BuildChildEnvironment(EnvBlock* env);
