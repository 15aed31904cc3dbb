// The Windows half's pilot data: %APPDATA%\Volantis\races. Paths are UTF-8 in
// the program and UTF-16 at the system, so any user name works, and reach the
// system in their "\\?\" form, so a data folder past MAX_PATH or on a network
// share (\\server\share\...) works too.
#include <windows.h>
#include <shlobj.h>

#include <io.h>

#include <cstdio>

#include "platform/long_path.h"
#include "platform/record_files.h"

namespace volantis {
namespace {

std::wstring Wide(const std::string& text) {
  if (text.empty()) return std::wstring();
  const int length = ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  if (length <= 0) return std::wstring();
  std::wstring wide(static_cast<std::size_t>(length), L'\0');
  ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &wide[0], length);
  return wide;
}

std::string Utf8(const wchar_t* text) {
  const int length = ::WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
  if (length <= 1) return std::string();
  std::string narrow(static_cast<std::size_t>(length), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, text, -1, &narrow[0], length, nullptr, nullptr);
  narrow.resize(static_cast<std::size_t>(length - 1));
  return narrow;
}

// A path as the file functions take it.
std::wstring SystemPath(const std::string& path) { return Wide(ExtendedLengthPath(path)); }

bool IsFolder(const std::wstring& path) {
  const DWORD attributes = ::GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// Owns a directory search.
class FindHandle {
 public:
  explicit FindHandle(HANDLE handle) : handle_(handle) {}
  ~FindHandle() {
    if (valid()) ::FindClose(handle_);
  }
  FindHandle(const FindHandle&) = delete;
  FindHandle& operator=(const FindHandle&) = delete;
  bool valid() const { return handle_ != INVALID_HANDLE_VALUE; }
  HANDLE get() const { return handle_; }

 private:
  HANDLE handle_;
};

// Every entry of folder but "." and "..": hands its name and whether it is a folder to visit.
template <typename Visit>
bool ForEachEntry(const std::wstring& folder, Visit visit) {
  WIN32_FIND_DATAW found;
  FindHandle search(::FindFirstFileW((folder + L"\\*").c_str(), &found));
  if (!search.valid()) return false;
  do {
    const std::wstring name = found.cFileName;
    if (name == L"." || name == L"..") continue;
    visit(name, (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0);
  } while (::FindNextFileW(search.get(), &found));
  return true;
}

bool RemoveTreeWide(const std::wstring& path) {
  const DWORD attributes = ::GetFileAttributesW(path.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
    // A junction or symbolic link: the link goes, never what it points at.
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return ::RemoveDirectoryW(path.c_str()) != 0;
    return ::DeleteFileW(path.c_str()) != 0;
  }
  if (!IsFolder(path)) return ::DeleteFileW(path.c_str()) != 0 || ::GetLastError() == ERROR_FILE_NOT_FOUND;
  bool all_gone = true;
  std::vector<std::wstring> entries;
  ForEachEntry(path, [&](const std::wstring& name, bool) { entries.push_back(path + L"\\" + name); });
  for (const std::wstring& entry : entries) all_gone = RemoveTreeWide(entry) && all_gone;
  return ::RemoveDirectoryW(path.c_str()) != 0 && all_gone;
}

// A LockFileEx range on its own handle: two holders exclude each other, in one
// process as in two.
class Win32FileLock : public FileLock {
 public:
  explicit Win32FileLock(HANDLE handle) : handle_(handle) {}
  ~Win32FileLock() override {
    OVERLAPPED at = {};
    ::UnlockFileEx(handle_, 0, 1, 0, &at);
    ::CloseHandle(handle_);
  }
  Win32FileLock(const Win32FileLock&) = delete;
  Win32FileLock& operator=(const Win32FileLock&) = delete;

 private:
  HANDLE handle_;
};

class Win32RecordFiles : public RecordFiles {
 public:
  std::string RacesFolder() override {
    wchar_t folder[MAX_PATH] = {};
    if (FAILED(::SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, folder)) || folder[0] == 0) {
      return std::string();
    }
    return Utf8(folder) + "\\Volantis\\races";
  }

  char Separator() const override { return '\\'; }

  FolderCreation CreateFolder(const std::string& path) override {
    const std::string system_path = ExtendedLengthPath(path);
    const std::wstring wide = Wide(system_path);
    if (wide.empty()) return FolderCreation::kFailed;
    // Parents first, after the root: a drive or a share's root already exists.
    const std::size_t root = Wide(system_path.substr(0, ExtendedPathRootLength(system_path))).size();
    for (std::size_t slash = wide.find_first_of(L"\\/", root == 0 ? 1 : root); slash != std::wstring::npos;
         slash = wide.find_first_of(L"\\/", slash + 1)) {
      const std::wstring parent = wide.substr(0, slash);
      if (parent.empty() || parent.back() == L':' || IsFolder(parent)) continue;
      if (!::CreateDirectoryW(parent.c_str(), nullptr) && ::GetLastError() != ERROR_ALREADY_EXISTS) {
        return FolderCreation::kFailed;
      }
    }
    if (::CreateDirectoryW(wide.c_str(), nullptr)) return FolderCreation::kCreated;
    if (::GetLastError() == ERROR_ALREADY_EXISTS && IsFolder(wide)) return FolderCreation::kExists;
    return FolderCreation::kFailed;
  }

  UniqueFile Open(const std::string& path, const char* mode) override {
    return UniqueFile(::_wfopen(SystemPath(path).c_str(), Wide(mode).c_str()));
  }

  bool ListFolders(const std::string& folder, std::vector<std::string>& names) override {
    return ForEachEntry(SystemPath(folder), [&](const std::wstring& name, bool is_folder) {
      if (is_folder) names.push_back(Utf8(name.c_str()));
    });
  }

  bool RemoveTree(const std::string& path) override { return RemoveTreeWide(SystemPath(path)); }

  LockTaking TryLock(const std::string& path, std::unique_ptr<FileLock>& lock) override {
    const HANDLE handle = ::CreateFileW(SystemPath(path).c_str(), GENERIC_READ | GENERIC_WRITE,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                                        FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return LockTaking::kFailed;
    OVERLAPPED at = {};
    if (!::LockFileEx(handle, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at)) {
      const bool busy = ::GetLastError() == ERROR_LOCK_VIOLATION;
      ::CloseHandle(handle);
      return busy ? LockTaking::kBusy : LockTaking::kFailed;
    }
    lock = std::make_unique<Win32FileLock>(handle);
    return LockTaking::kHeld;
  }

  bool Flush(std::FILE* file) override {
    if (std::fflush(file) != 0) return false;
    const HANDLE handle = reinterpret_cast<HANDLE>(::_get_osfhandle(::_fileno(file)));
    return handle != INVALID_HANDLE_VALUE && ::FlushFileBuffers(handle) != 0;
  }

  bool Replace(const std::string& from, const std::string& to) override {
    return ::MoveFileExW(SystemPath(from).c_str(), SystemPath(to).c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
  }
};

}  // namespace

RecordFiles& SystemRecordFiles() {
  static Win32RecordFiles files;
  return files;
}

}  // namespace volantis
