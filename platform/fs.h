// The small file-system helpers that most of the setup uses, in one include:
// existence tests, exact reads, path joining and deletion. Each lives in its
// own file; the work directory is in platform/work_dir.h.
#pragma once
#include "platform/delete_tree.h"
#include "platform/exists.h"
#include "platform/join_path.h"
#include "platform/read_exactly.h"
