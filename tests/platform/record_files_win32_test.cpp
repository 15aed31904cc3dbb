// The Windows half's record files where the pilot's data folder is unusual: a
// path past MAX_PATH, a network share, and a junction inside an old record.
#include <windows.h>
#include <winioctl.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "../support/record_files_in.h"
#include "platform/record_files.h"
#include "server/record_results_journal.h"

namespace volantis {
namespace {

constexpr const char* kRecord = "2026-12-10_16-40-05Z";

// What the journal needs of a folder: a record made, its results written
// whole, read back, listed, locked, and removed with everything in it.
void ExpectRecordsWorkIn(const std::string& races) {
  RecordFilesAt files(races);
  RecordResultsJournal journal(files, [] { return int64_t{1796919600}; });
  ASSERT_EQ(files.CreateFolder(files.Join(races, kRecord)), FolderCreation::kCreated) << races;
  SubmissionFields fields;
  for (const std::string& key : SubmissionKeys()) fields.push_back(SubmissionField{key, "1"});
  ASSERT_TRUE(journal.Begin(kRecord, fields, "10.200.0.1", 8080));
  ASSERT_TRUE(journal.SetStatus(kRecord, SubmissionStatus::kUnsent));
  StoredSubmission stored;
  ASSERT_TRUE(journal.Read(kRecord, stored));
  EXPECT_EQ(stored.status, SubmissionStatus::kUnsent);
  std::vector<std::string> names;
  ASSERT_TRUE(files.ListFolders(races, names));
  EXPECT_EQ(names, std::vector<std::string>{kRecord});
  std::unique_ptr<FileLock> hold;
  EXPECT_EQ(journal.HoldSending(kRecord, hold), LockTaking::kHeld);
  hold.reset();
  EXPECT_TRUE(files.RemoveTree(races));
  EXPECT_EQ(::GetFileAttributesA(races.substr(0, 200).c_str()), INVALID_FILE_ATTRIBUTES) << "not removed";
}

TEST(RecordFilesWin32Test, ADataFolderPastMaxPathWorks) {
  testing::TempFolder data;
  ASSERT_FALSE(data.path().empty());
  std::string races = data.path();
  for (int i = 0; i < 5; ++i) races += "\\" + std::string(60, static_cast<char>('a' + i));
  races += "\\Volantis\\races";
  ASSERT_GT(races.size(), static_cast<std::size_t>(MAX_PATH));
  ExpectRecordsWorkIn(races);
}

TEST(RecordFilesWin32Test, ADataFolderOnANetworkShareWorks) {
  // \\server\share\folder of a share this machine reaches (the test's runner sets it up).
  const char* share = std::getenv("VOLANTIS_TEST_SHARE");
  if (share == nullptr || share[0] == '\0') GTEST_SKIP() << "no network share (VOLANTIS_TEST_SHARE)";
  ExpectRecordsWorkIn(std::string(share) + "\\Volantis\\races");
}

// Makes folder link a junction to target (a full path); false when this
// system cannot, with its error in error.
bool MakeJunction(const std::wstring& link, const std::wstring& target, DWORD& error) {
  struct MountPoint {
    DWORD tag;
    WORD data_length;
    WORD reserved;
    WORD substitute_offset;
    WORD substitute_length;
    WORD print_offset;
    WORD print_length;
    wchar_t names[1024];
  } buffer = {};
  const std::wstring substitute = L"\\??\\" + target;
  buffer.tag = IO_REPARSE_TAG_MOUNT_POINT;
  buffer.substitute_offset = 0;
  buffer.substitute_length = static_cast<WORD>(substitute.size() * sizeof(wchar_t));
  buffer.print_offset = static_cast<WORD>(buffer.substitute_length + sizeof(wchar_t));
  buffer.print_length = static_cast<WORD>(target.size() * sizeof(wchar_t));
  substitute.copy(buffer.names, substitute.size());
  target.copy(buffer.names + substitute.size() + 1, target.size());
  buffer.data_length = static_cast<WORD>(4 * sizeof(WORD) + buffer.print_offset + buffer.print_length + sizeof(wchar_t));
  const HANDLE handle = ::CreateFileW(link.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                      FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    error = ::GetLastError();
    return false;
  }
  DWORD returned = 0;
  const bool made = ::DeviceIoControl(handle, FSCTL_SET_REPARSE_POINT, &buffer,
                                      8 + static_cast<DWORD>(buffer.data_length), nullptr, 0, &returned, nullptr) != 0;
  error = made ? 0 : ::GetLastError();
  ::CloseHandle(handle);
  return made;
}

TEST(RecordFilesWin32Test, RemovingAnOldRecordRemovesAJunctionInsideItNotItsTarget) {
  RecordFiles& files = SystemRecordFiles();
  testing::TempFolder outside;
  const std::string keep = files.Join(outside.path(), "keep.txt");
  {
    UniqueFile file = files.Open(keep, "wb");
    ASSERT_TRUE(file);
    std::fputs("x", file.get());
  }
  testing::TempFolder data;
  const std::string record = files.Join(data.path(), kRecord);
  const std::string link = files.Join(record, "link");
  ASSERT_EQ(files.CreateFolder(link), FolderCreation::kCreated);
  wchar_t link_wide[MAX_PATH] = {};
  wchar_t target_wide[MAX_PATH] = {};
  ::MultiByteToWideChar(CP_UTF8, 0, link.c_str(), -1, link_wide, MAX_PATH);
  ::MultiByteToWideChar(CP_UTF8, 0, outside.path().c_str(), -1, target_wide, MAX_PATH);
  wchar_t target_full[MAX_PATH] = {};
  ASSERT_NE(::GetFullPathNameW(target_wide, MAX_PATH, target_full, nullptr), 0u);
  DWORD error = 0;
  if (!MakeJunction(link_wide, target_full, error)) {
    GTEST_SKIP() << "this system cannot make a junction (FSCTL_SET_REPARSE_POINT: error " << error << ")";
  }
  ASSERT_NE(::GetFileAttributesW(link_wide) & FILE_ATTRIBUTE_REPARSE_POINT, 0u);
  EXPECT_TRUE(files.RemoveTree(record));
  EXPECT_EQ(testing::ReadWholeFile(keep), "x") << "the junction's target was emptied";
}

}  // namespace
}  // namespace volantis
