// The payload folder as kpack takes it: plain files only, each with a name the
// setup can write into its work folder.
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <system_error>

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#endif

#include "kpack_files.h"
#include "pack/pack_format.h"

namespace fs = std::filesystem;

namespace kpack {

namespace {

const uint64_t kFourGiB = 1ULL << 32;

// The programs the setup starts from its work folder.
const char* const kPrograms[] = {"7za.exe", "kopApxSvr.exe", "KivraSetup.exe"};

enum EntryKind { kEntryFile, kEntryLink, kEntryOther, kEntryGone };

// What a folder entry is, judged without following a link at its name.
EntryKind KindOf(const std::string& path) {
#ifdef _WIN32
    const DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return kEntryGone;
    if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) return kEntryLink;
    if (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) return kEntryOther;
    return kEntryFile;
#else
    struct stat st;
    if (lstat(path.c_str(), &st) != 0) return kEntryGone;
    return S_ISREG(st.st_mode) ? kEntryFile : S_ISLNK(st.st_mode) ? kEntryLink : kEntryOther;
#endif
}

// The refusal of one payload entry, or an ok Result.
Result JudgeEntry(const std::string& name, const std::string& path) {
    switch (KindOf(path)) {
    case kEntryLink:
        return Fail(kInputRefused, "payload entry " + name + " is a link; a pack carries plain files only");
    case kEntryOther:
        return Fail(kInputRefused, "payload entry " + name + " is not a plain file; a pack carries plain files only");
    case kEntryGone:
        return CannotRead(path);
    default:
        break;
    }
    if (name.size() > pack::kMaxNameLen)
        return Fail(kInputRefused, "payload file name " + name + " is " + std::to_string(name.size()) +
                                       " bytes; at most " + std::to_string(pack::kMaxNameLen) + " are allowed");
    if (pack::IsEndName(name.data(), name.size()))
        return Fail(kInputRefused, "payload file name " + name + " is reserved for the end record");
    if (!pack::IsSafeRecordName(name.data(), name.size(), 0))
        return Fail(kInputRefused, "payload file name " + name +
                                       " is not a plain Windows file name (no \\ / : < > \" | ? * or control "
                                       "characters, no trailing dot or blank, no device name)");
    return Result();
}

}  // namespace

Result CollectPayload(const std::string& folder, std::vector<PayloadFile>* files) {
    files->clear();
    std::error_code ec;
    const fs::file_status status = fs::status(folder, ec);
    if (!fs::exists(status)) return Fail(kIoError, "cannot read payload folder " + folder + ": it does not exist");
    if (!fs::is_directory(status)) return Fail(kInputRefused, "payload folder " + folder + " is not a folder");
    fs::directory_iterator it(folder, ec), end;
    for (; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        const std::string path = it->path().string();
        Result r = JudgeEntry(name, path);
        if (!r.ok()) return r;
        std::error_code sizeEc;
        const uint64_t size = it->file_size(sizeEc);
        if (sizeEc) return Fail(kIoError, "cannot read " + path + ": " + sizeEc.message());
        if (size >= kFourGiB) return Fail(kInputRefused, "payload file " + name + " is 4 GiB or more");
        files->push_back({name, path, size});
    }
    if (ec) return Fail(kIoError, "cannot list payload folder " + folder + ": " + ec.message());

    std::sort(files->begin(), files->end(),
              [](const PayloadFile& a, const PayloadFile& b) { return a.name < b.name; });
    for (size_t i = 1; i < files->size(); ++i)
        for (size_t j = 0; j < i; ++j)
            if (Lower((*files)[i].name) == Lower((*files)[j].name))
                return Fail(kInputRefused, "payload files " + (*files)[j].name + " and " + (*files)[i].name +
                                               " differ only in letter case; Windows would write them to one file");
    return Result();
}

std::vector<std::string> PayloadWarnings(const std::string& folder, const std::vector<PayloadFile>& files) {
    if (files.empty()) return {"payload folder " + folder + " holds no file: the pack carries nothing to install"};
    std::vector<std::string> warnings;
    for (const char* program : kPrograms) {
        bool found = false;
        for (const PayloadFile& f : files) found = found || Lower(f.name) == Lower(program);
        if (!found)
            warnings.push_back("payload folder " + folder + " holds no " + program +
                               ", which the setup starts from its work folder: the setup will fail there");
    }
    return warnings;
}

}  // namespace kpack
