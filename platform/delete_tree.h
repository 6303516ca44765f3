// Deleting files and directory trees in folders that ordinary users may write
// to. Each object is opened first and deleted through its handle only when it
// is what its name says (platform/named_object.h): a junction or symbolic link
// is removed as a link and never descended into; a name that leads elsewhere
// (a link that the platform follows, a file with further names) is left in
// place, and so is whatever it leads to.
#pragma once

// Deletes every non-directory entry matching dir\pattern, read-only ones too.
// Failures are ignored.
void DeleteMatchingFiles(const char* dir, const char* pattern);

// Deletes dir with everything below it. Returns the removal's result, or 1 when
// there was nothing to delete.
int DeleteDirTree(const char* dir);

// Deletes every sub-directory tree of dir; dir and its files stay.
void DeleteSubDirTrees(const char* dir);

// Deletes the files directly in dir and then dir itself, which stays when it
// still holds a sub-directory.
void DeleteDirFlat(const char* dir);

// Removes whatever is at path: a file, a link as a link, a directory with
// everything below it. Returns 1 when the name is free (or was), else 0.
int DeleteEntry(const char* path);
