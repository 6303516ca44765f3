// utl_FileUnpack under Wine: every failure code with its log line, the edges
// of the region, the end record, and record names that would leave the
// destination.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "pack/file_io.h"
#include "pack/pack_format.h"
#include "pack/unpack.h"
#include "platform/handle.h"
#include "support/pack_bytes.h"
#include "support/winsupport.h"

namespace {

const char kSandbox[] = "C:\\tmp\\kivra-unpack-test";
const char kDst[] = "C:\\tmp\\kivra-unpack-test\\dst";
const char kCarrier[] = "carrier.bin";
const DWORD kUntouched = 0xC0FFEE;

class UnpackTest : public ::testing::Test {
protected:
    void SetUp() override {
        RemoveTree(kSandbox);
        MakeDirs(kDst);
        ClearLogs();
        g_unpackReadFile = ReadFile;
        g_unpackWriteFile = WriteFile;
    }
    void TearDown() override {
        g_unpackReadFile = ReadFile;
        g_unpackWriteFile = WriteFile;
        RemoveTree(kSandbox);
    }

    // Writes the carrier: offset bytes of "program", then the region.
    void Carrier(const std::string& region, DWORD offset = 100) {
        ASSERT_TRUE(WriteFileBytes(Path(kCarrier), std::string(offset, 'P') + region));
    }
    std::string Path(const std::string& name) const { return std::string(kSandbox) + "\\" + name; }
    std::string Out(const std::string& name) const { return std::string(kDst) + "\\" + name; }

    int Unpack(DWORD offset = 100, const char* dst = kDst) {
        err_ = kUntouched;
        return utl_FileUnpack(kSandbox, kCarrier, dst, &err_, offset);
    }

    // Unpacks and expects failure with code, logged as the last line.
    void ExpectFailure(DWORD code, DWORD offset = 100, const char* dst = kDst) {
        EXPECT_EQ(0, Unpack(offset, dst));
        EXPECT_EQ(code, err_);
        std::vector<std::string> log = TodayLogMessages("stp_UtlFile");
        ASSERT_FALSE(log.empty());
        EXPECT_EQ("utl_FileUnpack:Err: " + std::to_string(code) + ".", log.back());
    }

    bool HasLine(const std::string& line) {
        for (const std::string& l : TodayLogMessages("stp_UtlFile"))
            if (l == line) return true;
        return false;
    }

    DWORD err_ = kUntouched;
};

TEST_F(UnpackTest, SmallPackLogsEveryStepAndLeavesTheEndFile) {
    Carrier(Marker() + Record("a.txt", "hi") + EndRecord());
    ASSERT_EQ(1, Unpack());
    EXPECT_EQ(kUntouched, err_);
    EXPECT_EQ("hi", ReadFileBytes(Out("a.txt")));
    std::vector<std::string> expected = {
        std::string("utl_FileUnpack: pszSrcPath = ") + kSandbox + " pszSrcFile = carrier.bin pszDstPath = " + kDst,
        std::string("utl_FileUnpack: szSrcAbsFile = ") + kSandbox + "\\carrier.bin",
        "utl_FileUnpack: dwSizeHigh = 0 dwSizeLow = 151",
        "utl_FileUnpack: dwSizeLow = dwSizeLow - dwOffset= 51",
        "utl_FileUnpack: dwCurTotalLen = 17",
        "utl_FileUnpack: unpack time = 1",
        "utl_FileUnpack: dwBufDataLen = 4 dwCurFileNameLen = 5 sizeof(DWORD) = 4",
        "utl_FileUnpack: dwCurTotalLen = 32",
        "utl_FileUnpack: szDstAbsFile = " + Out("a.txt"),
        "utl_FileUnpack: unpack time = 2",
        "utl_FileUnpack: dwBufDataLen = 4 dwCurFileNameLen = 11 sizeof(DWORD) = 4",
        "utl_FileUnpack: dwCurTotalLen = 51",
        "utl_FileUnpack: szDstAbsFile = " + Out("^Kivra_end^"),
        "utl_FileUnpack: The file is end.",
    };
    EXPECT_EQ(expected, TodayLogMessages("stp_UtlFile"));
    EXPECT_EQ(GetFileAttributesA(Out("^Kivra_end^").c_str()) & FILE_ATTRIBUTE_DIRECTORY, 0u);
    EXPECT_EQ("", ReadFileBytes(Out("^Kivra_end^")));
    EXPECT_EQ(2u, ListDir(kDst).size());
}

TEST_F(UnpackTest, ArgumentAndCarrierFailures) {
    Carrier(Marker());
    DWORD err = kUntouched;
    EXPECT_EQ(0, utl_FileUnpack(nullptr, kCarrier, kDst, &err, 100));
    EXPECT_EQ(150u, err);
    err = kUntouched;
    EXPECT_EQ(0, utl_FileUnpack(kSandbox, nullptr, kDst, &err, 100));
    EXPECT_EQ(150u, err);
    err = kUntouched;
    EXPECT_EQ(0, utl_FileUnpack(kSandbox, kCarrier, nullptr, &err, 100));
    EXPECT_EQ(150u, err);
    EXPECT_EQ(0, utl_FileUnpack(kSandbox, kCarrier, kDst, nullptr, 100));
    EXPECT_EQ("utl_FileUnpack:Err: 150.", LastMessage(TodayLogMessages("stp_UtlFile")));

    std::string longDst = std::string("C:\\") + std::string(256, 'd');  // 259 characters: fits
    EXPECT_EQ(0, Unpack(100, longDst.c_str()));
    EXPECT_EQ(158u, err_);
    longDst += 'd';  // 260
    ExpectFailure(151, 100, longDst.c_str());
    err_ = kUntouched;
    std::string longFile(260 - strlen(kSandbox), 'f');
    EXPECT_EQ(0, utl_FileUnpack(kSandbox, longFile.c_str(), kDst, &err_, 100));
    EXPECT_EQ(151u, err_);

    std::string missingDst = std::string(kSandbox) + "\\nowhere";
    ExpectFailure(158, 100, missingDst.c_str());
    std::string fileAsDst = Path(kCarrier);
    ExpectFailure(158, 100, fileAsDst.c_str());
    EXPECT_FALSE(HasLine("utl_FileUnpack: dwSizeHigh = 0 dwSizeLow = 117"));

    ExpectFailure(155, 117);  // offset equal to the carrier's size
    EXPECT_TRUE(HasLine("utl_FileUnpack: dwSizeHigh = 0 dwSizeLow = 117"));
    ExpectFailure(155, 5000);

    // The carrier held open without read sharing cannot be opened.
    HANDLE locked = CreateFileA(Path(kCarrier).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, locked);
    ExpectFailure(156);
    CloseHandle(locked);

    DeleteFileA(Path(kCarrier).c_str());
    ExpectFailure(152);
    CreateDirectoryA(Path(kCarrier).c_str(), nullptr);  // a directory is no carrier
    ExpectFailure(152);
}

// The carrier held open, as the setup holds it: without read sharing, so that
// an open by name would fail. The same lines, codes and files as by name.
TEST_F(UnpackTest, ByHandleLogsAsByName) {
    std::string late = Record("late.txt", "12345");
    const std::string packs[] = {Marker() + Record("a.txt", "hi") + EndRecord(),
                                 Marker() + Record("a.txt", "hi") + late.substr(0, late.size() - 1)};
    for (const std::string& pack : packs) {
        Carrier(pack);
        ClearLogs();
        const int byName = Unpack();
        const DWORD byNameErr = err_;
        const std::vector<std::string> byNameLog = TodayLogMessages("stp_UtlFile");
        ASSERT_EQ("hi", ReadFileBytes(Out("a.txt")));
        RemoveTree(kDst);
        MakeDirs(kDst);

        ClearLogs();
        ScopedHandle held(CreateFileA(Path(kCarrier).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(held.Valid());
        SetFilePointer(held.Get(), 0, nullptr, FILE_END);  // the unpacker seeks for itself
        err_ = kUntouched;
        EXPECT_EQ(byName, utl_FileUnpackByHandle(held.Get(), kSandbox, kCarrier, kDst, &err_, 100));
        EXPECT_EQ(byNameErr, err_);
        EXPECT_EQ(byNameLog, TodayLogMessages("stp_UtlFile"));
        EXPECT_EQ("hi", ReadFileBytes(Out("a.txt")));
        RemoveTree(kDst);
        MakeDirs(kDst);
    }

    // No size from the handle: 155, after the size line.
    ScopedHandle dir(CreateFileA(kDst, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                 FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    ASSERT_TRUE(dir.Valid());
    for (HANDLE h : {dir.Get(), INVALID_HANDLE_VALUE, (HANDLE) nullptr}) {
        ClearLogs();
        err_ = kUntouched;
        EXPECT_EQ(0, utl_FileUnpackByHandle(h, kSandbox, kCarrier, kDst, &err_, 100));
        EXPECT_EQ(155u, err_);
        EXPECT_TRUE(HasLine("utl_FileUnpack: dwSizeHigh = 0 dwSizeLow = 0"));
    }
}

TEST_F(UnpackTest, RegionEdges) {
    // A region of exactly the marker: success, nothing extracted.
    Carrier(Marker());
    EXPECT_EQ(1, Unpack());
    EXPECT_EQ(kUntouched, err_);
    EXPECT_TRUE(ListDir(kDst).empty());

    Carrier(Marker().substr(0, 16));
    ExpectFailure(159);

    Carrier(Mixed("^-=Kivra=-^ Reed_"));
    ExpectFailure(160);
    std::vector<std::string> log = TodayLogMessages("stp_UtlFile");
    ASSERT_GE(log.size(), 2u);
    EXPECT_EQ("17", log[log.size() - 2]);

    // Without an end record, records that fill the region exactly are a whole pack.
    Carrier(Marker() + Record("a", "1") + Record("b", ""));
    EXPECT_EQ(1, Unpack());
    EXPECT_EQ("1", ReadFileBytes(Out("a")));
    EXPECT_EQ(kUntouched, err_);

    // The end record ends the pack, whatever follows it.
    RemoveTree(kDst);
    MakeDirs(kDst);
    Carrier(Marker() + Record("a", "1") + EndRecord() + Head(999, 999) + "signature bytes");
    EXPECT_EQ(1, Unpack());
    EXPECT_TRUE(HasLine("utl_FileUnpack: The file is end."));
    EXPECT_EQ("", ReadFileBytes(Out("^Kivra_end^")));
    EXPECT_EQ(2u, ListDir(kDst).size());

    // The offset is honoured: the same pack at the installer-package offset.
    RemoveTree(kDst);
    MakeDirs(kDst);
    Carrier(Marker() + Record("m.dat", "msi") + EndRecord(), pack::kMsiCopyOffset);
    EXPECT_EQ(1, Unpack(pack::kMsiCopyOffset));
    EXPECT_EQ("msi", ReadFileBytes(Out("m.dat")));
}

TEST_F(UnpackTest, RecordFailures) {
    // The name length cannot be read in full; the log shows what the field
    // holds after the short read.
    Carrier(Marker() + std::string("\x01\x00", 2));
    ExpectFailure(161);
    EXPECT_TRUE(HasLine("utl_FileUnpack: dwBufDataLen = 2 dwCurFileNameLen = 1 sizeof(DWORD) = 4"));

    // 64 bytes pass, 65 do not.
    Carrier(Marker() + Record(std::string(64, 'n'), "x") + EndRecord());
    EXPECT_EQ(1, Unpack());
    EXPECT_EQ("x", ReadFileBytes(Out(std::string(64, 'n'))));
    Carrier(Marker() + Record(std::string(65, 'n'), "x") + EndRecord());
    ExpectFailure(161);
    EXPECT_TRUE(HasLine("utl_FileUnpack: dwBufDataLen = 4 dwCurFileNameLen = 65 sizeof(DWORD) = 4"));

    // Name and destination together must stay below 260 characters.
    std::string deepDst = std::string("C:\\tmp\\") + std::string(200, 'd');
    MakeDirs(deepDst);
    Carrier(Marker() + Record(std::string(60, 'n'), "x") + EndRecord());
    err_ = kUntouched;
    EXPECT_EQ(0, Unpack(100, deepDst.c_str()));
    EXPECT_EQ(161u, err_);
    RemoveTree(deepDst);

    Carrier(Marker() + Le32(1) + std::string("\x05\x00", 2));
    ExpectFailure(162);

    // One byte past the region: refused before the name is read or anything opened.
    std::string rec = Record("late.txt", "12345");
    Carrier(Marker() + rec.substr(0, rec.size() - 1));
    ExpectFailure(163);
    EXPECT_TRUE(HasLine("utl_FileUnpack: dwCurTotalLen = " + std::to_string(17 + rec.size())));
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(Out("late.txt").c_str()));

    // Lengths that wrap a 32-bit total round are still past the region.
    Carrier(Marker() + Record("a", "1") + Head(4, 0xFFFFFFF0u) + Mixed("wrap") + "data");
    ExpectFailure(163);
    EXPECT_FALSE(GetFileAttributesA(Out("wrap").c_str()) != INVALID_FILE_ATTRIBUTES);

    // The output cannot be opened: its sub-directory is missing.
    Carrier(Marker() + Record("nosuch\\x", "x") + EndRecord());
    ExpectFailure(165);

}

// Read failures that a healthy file never shows: the call itself fails, or a
// read comes back short, at the n-th read of the carrier.
int g_readsLeft = 0;
bool g_failCall = false;
BOOL WINAPI FailingRead(HANDLE h, LPVOID buf, DWORD len, LPDWORD got, LPOVERLAPPED ov) {
    if (--g_readsLeft > 0) return ReadFile(h, buf, len, got, ov);
    *got = 0;
    if (g_failCall) {
        SetLastError(ERROR_READ_FAULT);
        return FALSE;
    }
    return ReadFile(h, buf, len / 2, got, ov);
}

// A disk that fills up after the n-th write, keeping half the bytes asked.
int g_writesLeft = 0;
BOOL WINAPI FailingWrite(HANDLE h, LPCVOID buf, DWORD len, LPDWORD done, LPOVERLAPPED ov) {
    if (--g_writesLeft > 0) return WriteFile(h, buf, len, done, ov);
    WriteFile(h, buf, len / 2, done, ov);
    SetLastError(ERROR_DISK_FULL);
    return FALSE;
}

TEST_F(UnpackTest, ReadAndWriteFailuresPartWayThrough) {
    // Reads: 1 marker, 2 name length, 3 data length, 4 name, 5.. data chunks.
    Carrier(Marker() + Record("big.bin", std::string(5000, 'x')) + EndRecord());
    struct Case {
        int failingRead;
        bool failCall;
        DWORD code;
    };
    const Case cases[] = {{1, false, 159}, {2, true, 161}, {3, false, 162}, {3, true, 162},
                          {4, false, 164}, {5, false, 166}, {6, true, 166}};
    for (const Case& c : cases) {
        ClearLogs();
        g_readsLeft = c.failingRead;
        g_failCall = c.failCall;
        g_unpackReadFile = FailingRead;
        ExpectFailure(c.code);
        g_unpackReadFile = ReadFile;
        if (c.failingRead == 2) {
            EXPECT_TRUE(HasLine("utl_FileUnpack: ReadFile failed with err. " + std::to_string(ERROR_READ_FAULT)));
        }
    }
    // The chunk that failed leaves the file with the chunks before it.
    EXPECT_EQ(std::string(4096, 'x'), ReadFileBytes(Out("big.bin")));

    DeleteFileA(Out("big.bin").c_str());
    g_writesLeft = 2;
    g_unpackWriteFile = FailingWrite;
    ExpectFailure(157);
    g_unpackWriteFile = WriteFile;
    EXPECT_EQ(std::string(4096 + 452, 'x'), ReadFileBytes(Out("big.bin")));
}

TEST_F(UnpackTest, FileContents) {
    const std::string mixTest("\x00\x01\x80\xFF", 4);
    const std::string big(4097, 'b');
    std::string pattern;
    for (int i = 0; i < 9000; ++i) pattern += (char)(i * 7 + i / 256);
    WriteFileBytes(Out("over.txt"), "OLD CONTENTS THAT ARE LONGER");
    Carrier(Marker() + Record("empty", "") + Record("bytes", mixTest) + Record("big", big) +
            Record("pattern", pattern) + Record("over.txt", "new") + EndRecord());
    ASSERT_EQ(1, Unpack());
    EXPECT_EQ("", ReadFileBytes(Out("empty")));
    EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(Out("empty").c_str()));
    EXPECT_EQ(mixTest, ReadFileBytes(Out("bytes")));
    EXPECT_EQ(big, ReadFileBytes(Out("big")));
    EXPECT_EQ(pattern, ReadFileBytes(Out("pattern")));
    // Outputs are not truncated: an older, longer file keeps its tail.
    EXPECT_EQ("new CONTENTS THAT ARE LONGER", ReadFileBytes(Out("over.txt")));
    // The stored bytes really are mixed: the raw carrier holds the negations.
    std::string raw = ReadFileBytes(Path(kCarrier));
    EXPECT_NE(std::string::npos, raw.find(std::string("\x00\xFF\x80\x01", 4)));

    // A name with a backslash goes into a sub-directory that already exists.
    MakeDirs(Out("data"));
    Carrier(Marker() + Record("data\\conn.xml", "<x/>") + EndRecord());
    ASSERT_EQ(1, Unpack());
    EXPECT_EQ("<x/>", ReadFileBytes(Out("data\\conn.xml")));
}

TEST_F(UnpackTest, HostileNamesAreRefusedBeforeAnythingIsWritten) {
    MakeDirs(Out("sub"));
    const char* names[] = {"..\\escaped.dll", "..\\..\\windows\\system32\\escaped.dll",
                           "sub\\..\\..\\escaped.dll", "../escaped.dll", "C:\\escaped.dll",
                           "C:escaped.dll", "\\escaped.dll", "\\\\?\\C:\\escaped.dll",
                           "kept.txt:stream", "..", "NUL", "con.txt"};
    WriteFileBytes(Out("kept.txt"), "main stream");
    for (const char* name : names) {
        ClearLogs();
        Carrier(Marker() + Record("first.txt", "1") + Record(name, "PAYLOAD") + EndRecord());
        ExpectFailure(161);
        std::vector<std::string> log = TodayLogMessages("stp_UtlFile");
        ASSERT_GE(log.size(), 2u);
        EXPECT_EQ(std::string("utl_FileUnpack: file name not allowed: ") + name, log[log.size() - 2]);
        EXPECT_FALSE(HasLine("utl_FileUnpack: szDstAbsFile = " + Out(name))) << name;
        EXPECT_EQ("1", ReadFileBytes(Out("first.txt"))) << name;
    }
    // An empty name opens the destination directory itself, which fails.
    ClearLogs();
    Carrier(Marker() + Record("first.txt", "1") + Record("", "PAYLOAD") + EndRecord());
    ExpectFailure(165);
    EXPECT_TRUE(HasLine("utl_FileUnpack: szDstAbsFile = " + Out("")));
    EXPECT_FALSE(HasLine("utl_FileUnpack: file name not allowed: "));
    HANDLE dir = utl_NewOrOpenFileForWrite(Out("").c_str());
    EXPECT_EQ(INVALID_HANDLE_VALUE, dir) << "the open itself fails";
    if (dir != INVALID_HANDLE_VALUE) CloseHandle(dir);
    EXPECT_EQ((std::vector<std::string>{"first.txt", "kept.txt", "sub"}), ListDir(kDst));

    // Control characters are not copied into the log.
    Carrier(Marker() + Record("a\r\nforged", "x") + EndRecord());
    ExpectFailure(161);
    EXPECT_TRUE(HasLine("utl_FileUnpack: file name not allowed: a??forged"));

    EXPECT_EQ("main stream", ReadFileBytes(Out("kept.txt")));
    std::vector<std::string> sandbox = ListDir(kSandbox);
    EXPECT_EQ((std::vector<std::string>{"carrier.bin", "dst"}), sandbox);
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA("C:\\tmp\\escaped.dll"));
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA("C:\\escaped.dll"));
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA("C:\\windows\\system32\\escaped.dll"));
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA("C:\\tmp\\kivra-unpack-test\\escaped.dll"));
}

}  // namespace
